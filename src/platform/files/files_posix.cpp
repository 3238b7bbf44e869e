// The file layer on POSIX: Linux, and the browser's runner under node.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "machine/host.h"
#include "platform/files/files.h"

namespace pm {

namespace {

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

FileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISFIFO(mode)) return FileKind::Pipe;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
    return FileKind::Other;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsSeparator(char c) { return c == '/'; }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string WithSeparator(std::string folder) {
    if (folder.empty()) return "./";
    if (folder.back() != '/') folder += '/';
    return folder;
}

FileKind KindOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return FileKind::Missing;
    return KindOfMode(st.st_mode);
}

bool IsWritableFolder(const std::string& path) {
    return KindOf(path) == FileKind::Folder && ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string MyPath() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
        throw StartupError(std::string("cannot find the program folder: /proc/self/exe: ") +
                           (n < 0 ? std::strerror(errno) : "path too long"));
    buffer.resize(static_cast<size_t>(n));
    return buffer.substr(0, buffer.find_last_of('/') + 1);
}

const char* GetEnv(const char* name) { return std::getenv(name); }

std::string AccountHome() {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return found->pw_dir;
}

std::string PlayerFolder(const PathProbe& probe) {
    // The data folder convention: a relative or empty XDG_DATA_HOME is to be
    // ignored.
    const char* xdg = probe.GetEnv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return WithSeparator(xdg) + "pellimunch/";
    const char* home = probe.GetEnv("HOME");
    if (home && home[0] == '/') return WithSeparator(home) + ".local/share/pellimunch/";
    // Started without a HOME (from a service or a stripped environment):
    // the account still has a home folder.
    if (probe.AccountHome) {
        const std::string account = probe.AccountHome();
        if (!account.empty() && account[0] == '/') return WithSeparator(account) + ".local/share/pellimunch/";
    }
    return {};
}

// --- reading -----------------------------------------------------------------

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

void InputFile::Failure(const char* step) {
    system_ = std::strerror(errno);
    why_ = std::string(step) + ": " + system_;
}

InputFile::Opened InputFile::Open(const std::string& path, Streams streams) {
    Close();
    size_ = 0;
    next_ = 0;
    // Only a regular file is opened: a named pipe would wait for a writer
    // that never comes, and a device may never end.
    struct stat st {};
    const bool stream = streams == Streams::Read && ::stat(path.c_str(), &st) == 0 &&
                        (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
    if (!stream && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        kind_ = KindOfMode(st.st_mode);
        return Opened::NotRegular;
    }
    // Without blocking, in case something else was put there since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (stream ? 0 : O_NONBLOCK));
    if (fd < 0) {
        const bool missing = errno == ENOENT;
        Failure("cannot open");
        kind_ = FileKind::Missing;
        return missing ? Opened::Missing : Opened::Failed;
    }
    handle_ = fd;
    if (::fstat(fd, &st) != 0) {
        Failure("cannot examine");
        Close();
        return Opened::Failed;
    }
    kind_ = KindOfMode(st.st_mode);
    if (stream && kind_ != FileKind::Regular && kind_ != FileKind::Folder) return Opened::Ok;
    if (kind_ != FileKind::Regular) {
        Close();
        return Opened::NotRegular;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    return Opened::Ok;
}

bool InputFile::ReadAt(uint64_t offset, size_t count, std::string& bytes) {
    bytes.resize(count);
    size_t have = 0;
    while (have < count) {
        const ssize_t n = ::pread(static_cast<int>(handle_), bytes.data() + have, count - have,
                                  static_cast<off_t>(offset + have));
        if (n < 0) {
            if (errno == EINTR) continue;
            Failure("cannot read");
            bytes.resize(have);
            return false;
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    bytes.resize(have);
    return true;
}

bool InputFile::Read(size_t count, std::string& bytes) {
    bytes.resize(count);
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), bytes.data(), count);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Failure("cannot read");
            bytes.clear();
            return false;
        }
        bytes.resize(static_cast<size_t>(n));
        next_ += static_cast<uint64_t>(n);
        return true;
    }
}

// --- writing -----------------------------------------------------------------

bool RenameOver(const std::string& from, const std::string& to, std::string* reason) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (reason) *reason = std::strerror(errno);
    return false;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

int RemoveStaleTemporaries(const std::string& path, int64_t minAgeSeconds) {
    const std::string name = NameOf(path);
    if (name.empty()) return 0;
    const int dirFd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    // A dot, the name, a dot and mkstemp's six letters and digits.
    auto ours = [&](std::string_view entry) {
        if (entry.size() != name.size() + 8 || entry[0] != '.' || entry.substr(1, name.size()) != name ||
            entry[name.size() + 1] != '.')
            return false;
        for (char c : entry.substr(name.size() + 2))
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
        return true;
    };
    const time_t now = ::time(nullptr);
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (!ours(entry->d_name)) continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (now - st.st_mtime < minAgeSeconds) continue;   // perhaps a save still writing
        stale.emplace_back(entry->d_name);
    }
    int removed = 0;
    for (const std::string& entry : stale) removed += ::unlinkat(dirFd, entry.c_str(), 0) == 0;
    ::closedir(dir);
    return removed;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* reason) {
    auto fail = [&](std::string why) {
        if (reason) *reason = std::move(why);
        return false;
    };

    // New files get the permissions an ordinary create would give; a
    // replaced file keeps its own.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return fail("not a regular file");
        // A file with no write permission is the player's way of keeping it
        // as it is, even for a user (root) whom the system would let write.
        if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return fail("the file is read-only");
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return fail(ErrnoText("cannot examine the file"));
    }

    std::string temp = FolderOf(path) + "/." + NameOf(path) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(ErrnoText("cannot create a temporary file"));

    std::string why;
    if (::fchmod(fd, mode) != 0)
        why = ErrnoText("cannot set permissions");
    else if (!WriteAll(fd, bytes))
        why = ErrnoText("cannot write");
    else if (::fsync(fd) != 0)
        why = ErrnoText("cannot flush");
    if (::close(fd) != 0 && why.empty()) why = ErrnoText("cannot close");
    if (why.empty() && ::rename(temp.c_str(), path.c_str()) != 0) why = ErrnoText("cannot replace the file");
    if (!why.empty()) {
        ::unlink(temp.c_str());
        return fail(why);
    }

    // Make the rename itself durable; the new content is already in place,
    // so a failure here is not worth reporting.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool MakeFolderFor(const std::string& file, std::string* reason) {
    const size_t slash = file.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return true;
    const std::string folder = file.substr(0, slash);
    // Each missing level in turn, from the top down.
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST) continue;
        if (reason) *reason = part + ": " + std::strerror(errno);
        return false;
    }
    if (KindOf(folder) != FileKind::Folder) {
        if (reason) *reason = folder + ": not a folder";
        return false;
    }
    return true;
}

// An advisory lock on the folder itself: the folder, unlike the file, is
// never replaced by a rename, so every copy of the game locks the same thing,
// and nothing is made in it.
FolderLock::FolderLock(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    handle_ = fd;
}

FolderLock::~FolderLock() {
    // Closing gives the lock back.
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace pm

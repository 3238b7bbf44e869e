#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/errno_text.h"

namespace pm {

namespace {

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

}  // namespace

int RemoveStaleTemporaries(const std::string& path, int64_t minAgeSeconds) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
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

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
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

    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = FolderOf(path) + "/." + name + ".XXXXXX";
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

}  // namespace pm

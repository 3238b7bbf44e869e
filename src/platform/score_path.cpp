#include "platform/score_path.h"

#include "platform/data_files.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

// The build sets this from the install layout; the default matches the
// usual <prefix>/bin and <prefix>/share.
#ifndef PELLIMUNCH_DATA_FROM_BIN
#define PELLIMUNCH_DATA_FROM_BIN "../share/pellimunch"
#endif

namespace pm {

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty()) return "./";
    if (dir.back() != '/') dir += '/';
    return dir;
}

// "/usr/games/../share/pellimunch/" reads better as "/usr/share/pellimunch/"
// in messages; the executable's folder comes from the kernel with symlinks
// already resolved, so the lexical form names the same place.
std::string Normal(const std::string& dir) {
    std::string s = std::filesystem::path(dir).lexically_normal().string();
    return WithSlash(s);
}

}  // namespace

PathProbe SystemProbe() {
    PathProbe p;
    p.IsDirectory = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    p.IsWritableDirectory = [](const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
        return ::access(path.c_str(), W_OK | X_OK) == 0;
    };
    p.GetEnv = [](const char* name) -> const char* { return std::getenv(name); };
    p.AccountHome = []() -> std::string {
        std::vector<char> buffer(16384);
        struct passwd entry {};
        struct passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
            return {};
        return found->pw_dir;
    };
    return p;
}

const char* InstalledDataRelative() { return PELLIMUNCH_DATA_FROM_BIN; }

std::string DataFolder(const std::string& exeDir, const PathProbe& probe) {
    const std::string here = WithSlash(exeDir);
    if (probe.IsDirectory(here + "bmp")) return here;
    const std::string installed = Normal(here + InstalledDataRelative());
    if (probe.IsDirectory(installed + "bmp")) return installed;
    return here;
}

std::string DataFolder(const std::string& exeDir) { return DataFolder(exeDir, SystemProbe()); }

std::string ScoreFilePath(const std::string& exeDir, const PathProbe& probe) {
    const std::string here = WithSlash(exeDir);
    // A folder that holds the game's own data and that the player may write
    // is the game's home: a build folder or an unpacked copy.
    if (probe.IsDirectory(here + "bmp") && probe.IsWritableDirectory(here)) return here + "score.dat";

    // The data folder convention: a relative or empty XDG_DATA_HOME is to be
    // ignored.
    const char* xdg = probe.GetEnv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return WithSlash(xdg) + "pellimunch/score.dat";
    const char* home = probe.GetEnv("HOME");
    if (home && home[0] == '/') return WithSlash(home) + ".local/share/pellimunch/score.dat";
    // Started without a HOME (from a service or a stripped environment):
    // the account still has a home folder.
    if (probe.AccountHome) {
        const std::string account = probe.AccountHome();
        if (!account.empty() && account[0] == '/')
            return WithSlash(account) + ".local/share/pellimunch/score.dat";
    }

    // Nowhere better to go: beside the program, where the save will say so
    // if it cannot write.
    return here + "score.dat";
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

std::string ScoreFilePath(const std::string& exeDir) { return ScoreFilePath(exeDir, SystemProbe()); }

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
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (reason) *reason = folder + ": not a folder";
        return false;
    }
    return true;
}

}  // namespace pm

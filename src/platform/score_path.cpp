#include "platform/score_path.h"

#include <filesystem>

#include "platform/files/files.h"

// The build sets this from the install layout; the default matches the
// usual <prefix>/bin and <prefix>/share.
#ifndef PELLIMUNCH_DATA_FROM_BIN
#define PELLIMUNCH_DATA_FROM_BIN "../share/pellimunch"
#endif

namespace pm {

namespace {

std::string WithSlash(std::string dir) { return WithSeparator(std::move(dir)); }

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
    p.IsDirectory = [](const std::string& path) { return KindOf(path) == FileKind::Folder; };
    p.IsWritableDirectory = IsWritableFolder;
    p.GetEnv = GetEnv;
    p.AccountHome = AccountHome;
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

    const std::string mine = PlayerFolder(probe);
    if (!mine.empty()) return mine + "score.dat";

    // Nowhere better to go: beside the program, where the save will say so
    // if it cannot write.
    return here + "score.dat";
}

std::string ScoreFilePath(const std::string& exeDir) { return ScoreFilePath(exeDir, SystemProbe()); }

std::string ScoreFileBesideProgram(const std::string& exeDir, const std::string& scoreFile) {
    const std::string beside = WithSlash(exeDir) + "score.dat";
    return beside == scoreFile ? std::string() : beside;
}

}  // namespace pm

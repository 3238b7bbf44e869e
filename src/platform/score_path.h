// Where the game finds its data files and keeps score.dat.
//
// A game run from its build folder (or unpacked anywhere the player can
// write) has bmp/ and wav/ beside the executable and keeps score.dat there
// too. An installed game has its executable in <prefix>/bin and its data in
// <prefix>/share/pellimunch; that folder is not the player's to write, so
// the high score goes to the player's own data folder instead
// ($XDG_DATA_HOME/pellimunch, by default ~/.local/share/pellimunch).
//
// The decisions are pure functions of the executable's folder and of a
// probe of the file system and environment, so every case can be tested
// without installing anything.
#pragma once

#include <functional>
#include <string>

namespace pm {

// What the path decisions need to know about the machine.
struct PathProbe {
    std::function<bool(const std::string& path)> IsDirectory;
    // The folder exists and new files can be created and renamed in it.
    std::function<bool(const std::string& path)> IsWritableDirectory;
    // An environment variable's value; null when it is not set.
    std::function<const char*(const char* name)> GetEnv;
    // The account's home folder from the password database; empty when
    // there is none. May be left unset.
    std::function<std::string()> AccountHome;
};

// The real file system and environment.
PathProbe SystemProbe();

// The installed data folder, relative to the executable's folder.
const char* InstalledDataRelative();

// The folder holding bmp/ and wav/, with a trailing '/': the executable's
// folder when bmp/ is there, else the installed data folder when bmp/ is
// there, else the executable's folder (so a start-up failure names the
// file the player would expect beside the game).
std::string DataFolder(const std::string& exeDir, const PathProbe& probe);
std::string DataFolder(const std::string& exeDir);

// The full name of score.dat: beside the executable when the game runs from
// a folder holding its own data that the player can write; otherwise in the
// player's data folder, under $XDG_DATA_HOME, $HOME or, when neither is set,
// the account's home folder. Creates nothing.
std::string ScoreFilePath(const std::string& exeDir, const PathProbe& probe);
std::string ScoreFilePath(const std::string& exeDir);

// Creates the folders above `file` that are missing (private to the player,
// as the data folder should be). False with a reason when one cannot be
// made; the save at shutdown then reports the failure as usual.
bool MakeFolderFor(const std::string& file, std::string* reason = nullptr);

}  // namespace pm

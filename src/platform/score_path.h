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

#include <string>

#include "platform/files/files.h"

namespace pm {

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
// player's own folder (PlayerFolder). Creates nothing.
std::string ScoreFilePath(const std::string& exeDir, const PathProbe& probe);
std::string ScoreFilePath(const std::string& exeDir);

// score.dat beside the executable when the record is kept elsewhere (the
// game's folder cannot be written): a copy the player may have brought, to
// be read beside the record; empty when the record is kept there anyway.
std::string ScoreFileBesideProgram(const std::string& exeDir, const std::string& scoreFile);

}  // namespace pm

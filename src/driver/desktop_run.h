// What every desktop's main shares (the SDL one on Linux, the Windows one):
// the command line and the remembered settings, then either playing, with
// the record in score.dat and the session kept as replays beside it, or
// watching a replay; each around the one Session, paced by the FrameClock.
// A main adds only its host, its signals and its error box.
#pragma once

#include <functional>
#include <string>

#include "driver/options.h"
#include "driver/session.h"

namespace pm {

// The command line, or how the program ends at once: false with the exit
// status in `status` after a bad option (2, said on standard error) and
// after --help or --version (their text on standard output: 0, or 1 with a
// line on standard error when it cannot be written).
bool ReadDesktopOptions(int argc, char** argv, Options& options, int& status);

// The remembered settings with the command line over them; what the command
// line changes is remembered at once, and later changes (M, Alt+Enter) when
// they are made. An empty `settingsFile` remembers nothing.
SessionSetup DesktopSetup(const Options& options, const std::string& settingsFile);

// A file kept beside score.dat (the replays; on Windows the settings too).
std::string BesideScoreFile(const std::string& scoreFile, const std::string& name);

struct DesktopRun {
    Host& GameHost;
    DesktopControls& Controls;
    std::string ScoreFile;   // score.dat's full name
    // After the game's start-up (the window's icon), and once the loop is
    // over, with null (a hook set at the start is taken down).
    std::function<void(Session*)> Around;
    // After every tick (a report asked for from outside).
    std::function<void(const Session&)> Ticked;
};

// Without --replay, plays the game for the player until a way out: the
// record in score.dat, the session as last.replay (or `options.Record`) and
// best.replay. With it, watches that replay file ("best" and "last" name the
// ones beside score.dat) from its seed and the record it started with; the
// player's own record is never read or written. False with `error` when the
// file is no replay.
bool RunDesktop(DesktopRun& run, const Options& options, SessionSetup setup, std::string& error);

}  // namespace pm

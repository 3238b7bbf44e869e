// The game on Windows: the Windows host's window running the one Session
// until Escape, a mouse press, a closed window or Ctrl+C in its console ends
// it; each of them runs the shutdown, which saves the record. Around it the
// desktop's part, as on Linux: the command line, the remembered settings,
// and the replays (every session recorded; --replay watches one).
#include <cstdio>
#include <exception>
#include <string>

#include "driver/desktop_run.h"
#include "driver/options.h"
#include "platform/data_files.h"
#include "platform/score_path.h"
#include "hosts/win32/process.h"
#include "hosts/win32/win_host.h"

namespace {

bool console = false;

// The line on standard error and, for a player who started the game with a
// double-click and sees no console, the same words in a box.
int Fail(const std::string& message) {
    if (console) {
        pm::SayLine(message);
        pm::win32::ShowErrorBox("Pellimunch", "Pellimunch cannot go on:\n" + pm::OneLine(message));
    } else {
        pm::win32::ShowKeptLines(true, "Pellimunch cannot go on:\n" + pm::OneLine(message));
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Mended: a game started from Explorer has no console, and every line
    // it printed (a bad option, a replay not saved, a settings file it
    // could not read) went nowhere. They are shown in a box instead, at the
    // end; the help and the version in a box of their own.
    console = pm::win32::UseParentConsole();
    if (!console) pm::win32::KeepLinesForBox();
    pm::Options options;
    int status = 0;
    if (!console) {
        std::string error;
        if (pm::ParseOptions(argc, argv, options, error) && (options.Help || options.Version)) {
            pm::win32::ShowInfoBox(options.Help ? pm::Usage() : pm::VersionText());
            return 0;
        }
        options = {};
    }
    if (!pm::ReadDesktopOptions(argc, argv, options, status)) {
        pm::win32::ShowKeptLines(status != 0);
        return status;
    }

    try {
        // score.dat, settings.ini and the replays keep together: beside the
        // game when its folder can be written, else under %APPDATA%\Pellimunch.
        const std::string scoreFile = pm::ScoreFilePath(pm::MyPath());
        const pm::SessionSetup setup = pm::DesktopSetup(options, pm::BesideScoreFile(scoreFile, "settings.ini"));
        pm::win32::WinHost host;
        host.Choose(setup.Settings);
        pm::DesktopRun run{host, host, scoreFile, {}, {}};
        std::string error;
        if (!pm::RunDesktop(run, options, setup, error)) return Fail(error);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    pm::win32::ShowKeptLines();
    return 0;
}

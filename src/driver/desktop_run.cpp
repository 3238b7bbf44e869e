#include "driver/desktop_run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "driver/daily.h"
#include "driver/ghost.h"
#include "driver/replay_keeper.h"
#include "driver/settings_file.h"
#include "platform/files/files.h"
#include "platform/score_file.h"
#include "platform/score_path.h"

namespace pm {

namespace {

int PrintHelpOrVersion(const Options& options) {
    const std::string text = options.Help ? Usage() : std::string(VersionText()) + "\n";
    // Mended: a full disk or a closed pipe used to end in a quiet exit
    // status 0; it is a failure.
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        SayLine(std::string("cannot write to standard output: ") + std::strerror(errno));
        return 1;
    }
    return 0;
}

// The day is the clock's when none is given, read once: a session that
// runs past midnight stays the day it began. A ghost must be a daily replay
// of that day, checked before any window opens.
bool CheckDaily(Options& options, int& status) {
    if (!options.Daily) return true;
    if (!options.DailyDay) options.DailyDay = UtcToday();
    if (!options.Ghost) return true;
    Replay ghost;
    std::string message;
    if (!LoadReplay(*options.Ghost, ghost, message)) {
        SayLine("ghost " + message);
        status = 2;
        return false;
    }
    if (ghost.Seed != DailySeed(*options.DailyDay) || !HasDailyStart(ghost.Keys)) {
        SayLine(*options.Ghost + ": not a daily replay of " + DayText(*options.DailyDay));
        status = 2;
        return false;
    }
    return true;
}

}  // namespace

bool ReadDesktopOptions(int argc, char** argv, Options& options, int& status) {
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        SayLine(error + " (pellimunch --help lists the options)");
        status = 2;
        return false;
    }
    if (!options.Help && !options.Version) return CheckDaily(options, status);
    status = PrintHelpOrVersion(options);
    return false;
}

SessionSetup DesktopSetup(const Options& options, const std::string& settingsFile) {
    const SettingsRead remembered = LoadSettings(settingsFile);
    if (!remembered.Warning.empty()) SayLine(remembered.Warning);
    SessionSetup setup;
    setup.Settings = ApplyOptions(options, remembered.Values);
    setup.Remember = [settingsFile](const DesktopSettings& settings) {
        if (settingsFile.empty()) return;   // no home: nowhere to remember anything
        std::string why;
        if (!SaveSettings(settingsFile, settings, &why)) SayLine("settings not saved: " + why);
    };
    if (setup.Settings != remembered.Values) setup.Remember(setup.Settings);
    return setup;
}

std::string BesideScoreFile(const std::string& scoreFile, const std::string& name) {
#ifdef _WIN32
    return FolderOf(scoreFile) + "\\" + name;
#else
    return FolderOf(scoreFile) + "/" + name;
#endif
}

namespace {

// Wait for the frame's time, then one tick of the session, until it is over.
// A watched recording says how it played out when it is spent.
void Loop(DesktopRun& run, Session& session, const std::string& watching) {
    if (run.Around) run.Around(&session);
    FrameClock clock;
    bool told = false;
    for (;;) {
        clock.WaitForNextFrame();
        const Session::Tick tick = session.Run();
        if (tick == Session::Tick::Over) break;
        if (tick == Session::Tick::Resumed) clock.Restart();
        if (run.Ticked) run.Ticked(session);
        if (!told && session.Watched()) {
            told = true;
            const ReplayOutcome& outcome = *session.Watched();
            std::printf("pellimunch: replay %s ended at frame %llu (%s, high score %d)\n", watching.c_str(),
                        static_cast<unsigned long long>(outcome.Frames), ReplayEndName(outcome.End),
                        static_cast<int>(outcome.HighScore));
            std::fflush(stdout);
        }
    }
    session.Finish();
    if (run.Around) run.Around(nullptr);
}

// The daily run: the day's seed, the best attempt of the day kept beside the
// other replays, the line to share printed at the attempt's end.
void KeepDaily(DesktopRun& run, const Day& day, ReplayKeeper& keeper) {
    run.Controls.SetCaption("Pellimunch - Daily " + DayText(day));
    keeper.KeepDaily(BesideScoreFile(run.ScoreFile, "daily-" + DayText(day) + ".replay"),
                     [day](const Replay&, const RunResult& result, bool) {
                         std::printf("%s\n", ShareLine(day, result.Score, result.Level).c_str());
                         std::fflush(stdout);
                     });
}

void PlayDesktop(DesktopRun& run, const Options& options, SessionSetup setup, std::string& error) {
    std::unique_ptr<Ghost> ghost;
    std::unique_ptr<GhostLens> lens;
    if (options.Ghost) {
        Replay raced;
        if (!LoadReplay(*options.Ghost, raced, error)) return;
        ghost = std::make_unique<Ghost>(std::move(raced));
        lens = std::make_unique<GhostLens>(run.GameHost, *ghost);
    }
    // Mended: when the game's folder cannot be written the record moves to
    // the player's own folder, and a score.dat the player kept beside the
    // game was no longer seen; it is read too, and the higher one counts.
    ScoreFileRecord record(run.ScoreFile, ScoreFileBesideProgram(MyPath(), run.ScoreFile));
    run.GameHost.UseRecords(&record);
    ReplayKeeper keeper(options.Record ? *options.Record : BesideScoreFile(run.ScoreFile, "last.replay"),
                        BesideScoreFile(run.ScoreFile, "best.replay"));
    if (options.Daily) KeepDaily(run, *options.DailyDay, keeper);
    setup.Keeper = &keeper;
    Session session(lens ? static_cast<Host&>(*lens) : run.GameHost, &run.Controls, std::move(setup));
    if (options.Daily) session.PlayDaily();
    if (ghost) {
        lens->Follow(session.View());
        session.Race(*ghost);
        ghost->Start();
    }
    session.Start(options.Daily ? DailySeed(*options.DailyDay) : ClockSeed());
    Loop(run, session, {});
    run.GameHost.UseRecords(nullptr);
}

bool WatchDesktop(DesktopRun& run, const std::string& which, SessionSetup setup, std::string& error) {
    const std::string file =
        which == "best" || which == "last" ? BesideScoreFile(run.ScoreFile, which + ".replay") : which;
    Replay replay;
    if (!LoadReplay(file, replay, error)) {
        error = "replay " + error;
        return false;
    }
    FixedRecord record(replay.HighScore);
    run.GameHost.UseRecords(&record);
    Session session(run.GameHost, &run.Controls, std::move(setup));
    session.Watch(replay);
    session.Start(replay.Seed);
    Loop(run, session, file);
    if (session.Watched()) {
        const std::string differs = CompareWithRecording(replay, *session.Watched());
        if (!differs.empty()) std::printf("pellimunch: replay %s: %s\n", file.c_str(), differs.c_str());
        std::fflush(stdout);
    }
    run.GameHost.UseRecords(nullptr);
    return true;
}

}  // namespace

bool RunDesktop(DesktopRun& run, const Options& options, SessionSetup setup, std::string& error) {
    if (options.Replay) return WatchDesktop(run, *options.Replay, std::move(setup), error);
    PlayDesktop(run, options, std::move(setup), error);
    return error.empty();
}

}  // namespace pm

#include "runner.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "bmp_shot.h"
#include "driver/replay.h"
#include "driver/script.h"
#include "driver/session.h"
#include "options.h"
#include "platform/data_files.h"
#include "platform/files/files.h"
#include "hosts/headless/headless_host.h"
#include "platform/score_file.h"
#include "game/shell/game_state.h"
#include "shot_text.h"
#include "trace_writer.h"

namespace pm::sim {

using keys::MaxScriptBytes;

namespace {

constexpr const char* Prog = "pellimunch-sim";

// One line on standard error; every failure of the runner says exactly one.
int Fail(std::FILE* err, const std::string& message) {
    std::fprintf(err, "%s: %s\n", Prog, message.c_str());
    return 1;
}

// Reads at most one byte past MaxScriptBytes, so that a file too large to
// be a script (or one without end) is refused without reading it all.
bool ReadAll(std::FILE* f, std::string& text) {
    char buf[65536];
    size_t n;
    while (text.size() <= MaxScriptBytes && (n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return !std::ferror(f);
}

std::string TooLarge(const std::string& name) {
    return "script " + name + " is larger than " + std::to_string(MaxScriptBytes >> 20) + " MiB";
}

bool ReadScriptText(const std::string& file, std::FILE* in, std::string& text, std::string& error) {
    if (file == "-") {
        if (!ReadAll(in, text)) {
            error = "cannot read the script from standard input";
            return false;
        }
        if (text.size() > MaxScriptBytes) {
            error = TooLarge("on standard input");
            return false;
        }
        return true;
    }
    FileRead read = ReadNamedFile(file, MaxScriptBytes);
    switch (read.Status) {
        case FileRead::Result::Ok: text = std::move(read.Bytes); return true;
        case FileRead::Result::Missing: error = "cannot open script " + file + ": " + read.SystemText; break;
        case FileRead::Result::NotRegular: error = "cannot read script " + file + ": not a regular file"; break;
        case FileRead::Result::TooLarge: error = TooLarge(file); break;
        case FileRead::Result::Failed:
            error = (read.Why.starts_with("cannot open") ? "cannot open script " : "cannot read script ") + file +
                    ": " + read.SystemText;
            break;
    }
    return false;
}

// The trace goes out in large writes; a line is assembled in `Pending` first.
struct TraceOut {
    std::FILE* File = nullptr;
    std::string Pending;
    bool Failed = false;

    void FlushIfLarge() {
        if (Pending.size() >= (1u << 16)) Flush();
    }
    void Flush() {
        if (!Pending.empty() && std::fwrite(Pending.data(), 1, Pending.size(), File) != Pending.size())
            Failed = true;
        Pending.clear();
    }
};

}  // namespace

int RunMain(int argc, const char* const* argv, std::FILE* stdOut, std::FILE* err, std::FILE* in) {
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        std::fprintf(err, "%s: %s (see --help)\n", Prog, error.c_str());
        return 1;
    }
    if (o.Help) {
        // Mended: a failed write of the usage used to exit 0.
        if (std::fputs(Usage(), stdOut) < 0 || std::fflush(stdOut) != 0)
            return Fail(err, std::string("cannot write to standard output: ") + std::strerror(errno));
        return 0;
    }

    keys::Script script;
    std::optional<Replay> replay;
    if (o.ReplayFile) {
        replay.emplace();
        if (!LoadReplay(*o.ReplayFile, *replay, error)) return Fail(err, "replay " + error);
        script = std::move(replay->Keys);
        o.Seed = replay->Seed;
    }
    if (o.ScriptFile) {
        std::string text;
        if (!ReadScriptText(*o.ScriptFile, in, text, error)) return Fail(err, error);
        keys::ScriptError bad;
        if (!keys::ParseScript(text, script, bad)) {
            const std::string name = *o.ScriptFile == "-" ? "standard input" : *o.ScriptFile;
            return Fail(err, "script " + name + " line " + std::to_string(bad.Line) + ": " + bad.Message);
        }
    }

    // The record: the replay's own, or score.dat (or the file named).
    const std::string folder = o.Dir.empty() ? MyPath() : o.Dir;
    std::unique_ptr<RecordStore> record;
    if (replay) {
        record = std::make_unique<FixedRecord>(replay->HighScore);
    } else {
        record = std::make_unique<ScoreFileRecord>(o.Score.empty() ? folder + "score.dat" : o.Score);
    }

    TraceOut trace;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> outFile(nullptr, &std::fclose);
    if (o.Out.empty()) {
        trace.File = stdOut;
    } else {
        outFile.reset(std::fopen(o.Out.c_str(), "wb"));
        if (!outFile) return Fail(err, "cannot write " + o.Out + ": " + std::strerror(errno));
        trace.File = outFile.get();
    }

    HeadlessHost host(folder);
    host.UseRecords(record.get());
    Session session(host, nullptr);
    const uint64_t total = o.Frames ? *o.Frames : script.TotalFrames();
    session.Follow(script, Source::Script, total);
    if (replay && total == replay->EndFrame) session.QuitAfter(replay->End);
    const FormMain& form = session.Game();

    const Channels channels = o.Trace;
    DrawTrace draw;
    if (channels.Draw) host.Draws = &draw;

    std::unique_ptr<TextRenderer> shotText;
    if (!o.Shots.empty()) shotText = MakeShotTextRenderer();

    uint64_t current = 0;      // the frame being run; 0 is the start-up
    bool writeCurrent = channels.Any();
    bool shotFailed = false;
    std::vector<bool> shotTaken(o.Shots.size(), false);

    // Shots are taken at the present, when the frame's picture is complete.
    auto takeShots = [&](const FormMain& f) {
        for (size_t i = 0; i < o.Shots.size(); ++i) {
            if (o.Shots[i].Frame != current) continue;
            std::string why;
            if (SaveBmp24(GameView(f).Picture(), o.Shots[i].File, why)) {
                shotTaken[i] = true;
            } else {
                std::fprintf(err, "%s: cannot save shot %s\n", Prog, why.c_str());
                shotFailed = true;
                shotTaken[i] = true;   // reported already
            }
        }
    };
    // A frame's line holds what happened since the previous present.
    auto endOfFrame = [&](const FormMain& f) {
        if (writeCurrent) {
            AppendFrameLine(trace.Pending, static_cast<int64_t>(current), channels, f, host.SoundLog,
                            draw.Entries());
            trace.FlushIfLarge();
        }
        host.SoundLog.clear();
        draw.Clear();
        if (!o.Shots.empty()) takeShots(f);
    };
    host.OnPresent = [&](const Surface&) { endOfFrame(form); };

    // The game's own start-up; a failure runs the shutdown, which leaves the
    // high-score file alone when it was never read.
    try {
        session.Start(o.Seed);
    } catch (const std::exception& e) {
        return Fail(err, e.what());
    }
    endOfFrame(form);

    // The loop: each frame's keys and mouse press from the script, as fast
    // as the machine goes; after the last one the window closes.
    try {
        for (;;) {
            current = session.Frames() + 1;
            writeCurrent = channels.Any() && current % o.Every == 0;
            host.Draws = channels.Draw && writeCurrent ? &draw : nullptr;
            if (shotText) {
                // Each frame starts with a full clear, so text matters only
                // in the frames that are saved.
                bool shot = false;
                for (const Shot& s : o.Shots) shot = shot || s.Frame == current;
                host.TextOut = shot ? shotText.get() : nullptr;
            }
            if (session.Run() == Session::Tick::Over) break;
        }
    } catch (const std::exception& e) {
        trace.Flush();
        return Fail(err, "frame " + std::to_string(current) + ": " + e.what());
    }
    session.Finish();

    const uint64_t endFrame = session.Frames();
    const char* end = session.End() == FrameEnd::Escape ? "escape" : session.End() == FrameEnd::Mouse ? "mouse" : "script";
    AppendEndLine(trace.Pending, static_cast<int64_t>(endFrame), end, session.View().KeptRecord());
    trace.Flush();
    if (std::fflush(trace.File) != 0 || std::ferror(trace.File) || trace.Failed)
        return Fail(err, "cannot write the trace" + (o.Out.empty() ? std::string() : " to " + o.Out));
    if (outFile && std::fclose(outFile.release()) != 0) return Fail(err, "cannot write the trace to " + o.Out);

    int status = 0;
    if (replay) {
        const ReplayOutcome outcome{endFrame, session.End(), session.View().KeptRecord()};
        const std::string differs = CompareWithRecording(*replay, outcome);
        if (!differs.empty()) {
            std::fprintf(err, "%s: replay %s: %s\n", Prog, o.ReplayFile->c_str(), differs.c_str());
            status = 1;
        }
    }
    if (shotFailed) status = 1;
    for (size_t i = 0; i < o.Shots.size(); ++i) {
        if (shotTaken[i]) continue;
        std::fprintf(err, "%s: no shot %s: the run ended at frame %llu before frame %llu was shown\n", Prog,
                     o.Shots[i].File.c_str(), static_cast<unsigned long long>(endFrame),
                     static_cast<unsigned long long>(o.Shots[i].Frame));
        status = 1;
    }
    // The save failure has been reported by the shutdown itself.
    if (!host.SaveErrors.empty()) status = 1;
    return status;
}

}  // namespace pm::sim

#include "driver/replay.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

#include "platform/decimal.h"

namespace pm {

namespace {

// Far more than any session (ten minutes take a few kilobytes); a larger
// file is not a replay of ours.
constexpr uint64_t MaxReplayBytes = 64ull << 20;

constexpr ReplayEnd AllEnds[] = {FrameEnd::GoingOn, ReplayEnd::Escape, ReplayEnd::Mouse, ReplayEnd::Close};

std::optional<int32_t> Signed32(std::string_view word) {
    const bool negative = !word.empty() && word[0] == '-';
    if (negative) word.remove_prefix(1);
    const std::optional<uint64_t> v = ParseDigits(word, negative ? 2147483648u : 2147483647u);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(negative ? -static_cast<int64_t>(*v) : static_cast<int64_t>(*v));
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A short, escaped excerpt of a bad line for a message.
std::string Quote(std::string_view text) { return keys::Quote(text, 24); }

}  // namespace

const char* ReplayEndName(ReplayEnd end) {
    switch (end) {
        case FrameEnd::GoingOn: return "running";
        case ReplayEnd::Escape: return "escape";
        case ReplayEnd::Mouse: return "mouse";
        case ReplayEnd::Close: return "close";
    }
    return "running";
}

std::string FormatReplay(const Replay& replay) {
    std::string text = std::string(ReplayMagic) + ' ' + std::to_string(ReplayVersion) + '\n';
    text += "seed " + std::to_string(replay.Seed) + '\n';
    text += "highscore " + std::to_string(replay.HighScore) + '\n';
    for (const keys::ScriptSpan& span : replay.Keys.Spans) text += keys::FormatSpan(span) + '\n';
    text += "end " + std::to_string(replay.EndFrame) + ' ' + ReplayEndName(replay.End) + ' ' +
            std::to_string(replay.EndHighScore) + '\n';
    return text;
}

bool ParseReplay(std::string_view text, Replay& replay, keys::ScriptError& error) {
    replay = Replay{};
    enum class Expect { Magic, Seed, HighScore, Keys, Nothing } expect = Expect::Magic;
    keys::LineReader lines(text);
    int number = 0;
    auto fail = [&](std::string message) {
        error = {number, std::move(message)};
        return false;
    };
    std::string_view line;
    while (lines.Next(line)) {
        number = lines.Number();
        if (line.size() > keys::MaxScriptLineBytes)
            return fail("the line is longer than " + std::to_string(keys::MaxScriptLineBytes) + " bytes");
        if (line.find('\0') != std::string_view::npos) return fail("the line holds a NUL byte");
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const std::vector<std::string_view> words = Words(line);
        if (words.empty()) {
            if (expect == Expect::Magic) return fail("not a replay file: the first line must be \"pellimunch-replay 1\"");
            continue;
        }
        switch (expect) {
            case Expect::Magic: {
                if (words[0] != ReplayMagic || words.size() != 2)
                    return fail("not a replay file: the first line must be \"pellimunch-replay 1\"");
                const std::optional<uint64_t> version = ParseDigits(words[1], 1000000);
                if (!version) return fail("bad format version " + Quote(words[1]));
                if (*version != ReplayVersion)
                    return fail("format version " + std::to_string(*version) + "; this game reads version " +
                                std::to_string(ReplayVersion));
                expect = Expect::Seed;
                break;
            }
            case Expect::Seed: {
                std::optional<uint64_t> seed;
                if (words.size() == 2 && words[0] == "seed") seed = ParseDigits(words[1], 4294967295u);
                if (!seed) return fail("expected \"seed N\" (0 to 4294967295), found " + Quote(line));
                replay.Seed = static_cast<uint32_t>(*seed);
                expect = Expect::HighScore;
                break;
            }
            case Expect::HighScore: {
                std::optional<int32_t> score;
                if (words.size() == 2 && words[0] == "highscore") score = Signed32(words[1]);
                if (!score) return fail("expected \"highscore N\" (a 32-bit number), found " + Quote(line));
                replay.HighScore = *score;
                expect = Expect::Keys;
                break;
            }
            case Expect::Keys: {
                if (words[0] == "end") {
                    std::optional<uint64_t> frames;
                    std::optional<int32_t> score;
                    const ReplayEnd* how = nullptr;
                    if (words.size() == 4) {
                        frames = ParseDigits(words[1], std::numeric_limits<int64_t>::max());
                        for (const ReplayEnd& e : AllEnds)
                            if (words[2] == ReplayEndName(e)) how = &e;
                        score = Signed32(words[3]);
                    }
                    if (!frames || !how || !score)
                        return fail("expected \"end FRAMES escape|mouse|close|running HIGHSCORE\", found " +
                                    Quote(line));
                    replay.EndFrame = *frames;
                    replay.End = *how;
                    replay.EndHighScore = *score;
                    expect = Expect::Nothing;
                    break;
                }
                keys::ScriptSpan span;
                span.Line = number;
                std::string message;
                if (!keys::ParseSpanLine(line, span, message)) return fail(message);
                replay.Keys.Spans.push_back(std::move(span));
                break;
            }
            case Expect::Nothing:
                return fail("text after the end line: " + Quote(line));
        }
    }
    if (expect != Expect::Nothing) {
        ++number;
        return fail(expect == Expect::Magic ? "the file is empty"
                                            : "the file stops before its end line (cut short?)");
    }
    return true;
}

bool LoadReplay(const std::string& path, Replay& replay, std::string& message) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        message = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        message = path + ": not a regular file";
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > MaxReplayBytes) {
        message = path + ": too large for a replay (" + std::to_string(st.st_size) + " bytes)";
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) {
        message = path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        text.append(buffer, n);
        if (text.size() > MaxReplayBytes) {
            message = path + ": too large for a replay";
            return false;
        }
    }
    if (std::ferror(f.get())) {
        message = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    keys::ScriptError error;
    if (!ParseReplay(text, replay, error)) {
        message = path + " line " + std::to_string(error.Line) + ": " + error.Message;
        return false;
    }
    return true;
}

keys::ScriptSpan SpanOf(const FrameInput& input) {
    keys::ScriptSpan span;
    span.Count = 1;
    for (uint8_t code : keys::NamedKeys())
        if (input.Keys[code] != 0) span.Keys.push_back(code);
    span.Mouse = input.MousePressed;
    return span;
}

FrameInput InputOf(const keys::ScriptSpan& span) {
    FrameInput input;
    for (uint8_t key : span.Keys) input.Keys[key] = 128;
    input.MousePressed = span.Mouse;
    return input;
}

void ReplayBuilder::Begin(uint32_t seed, int32_t highScore) {
    replay_ = Replay{};
    replay_.Seed = seed;
    replay_.HighScore = highScore;
    frames_ = 0;
}

void ReplayBuilder::Add(const FrameInput& input) {
    keys::ScriptSpan span = SpanOf(input);
    std::vector<keys::ScriptSpan>& spans = replay_.Keys.Spans;
    if (!spans.empty() && spans.back().Keys == span.Keys && spans.back().Mouse == span.Mouse &&
        spans.back().Count < 4294967295u) {
        ++spans.back().Count;
    } else {
        spans.push_back(std::move(span));
    }
    ++frames_;
}

Replay ReplayBuilder::Snapshot(ReplayEnd end, int32_t highScore) const {
    Replay r = replay_;
    r.EndFrame = frames_;
    r.End = end;
    r.EndHighScore = highScore;
    return r;
}

std::string DescribeEnd(const ReplayOutcome& outcome) {
    const char* how = outcome.End == ReplayEnd::Escape  ? "left with Escape"
                      : outcome.End == ReplayEnd::Mouse ? "left with a mouse click"
                                                        : "the recording ran out";
    return std::string(how) + " at frame " + std::to_string(outcome.Frames) + ", high score " +
           std::to_string(outcome.HighScore);
}

WatchNote EndNote(const Replay& replay, const ReplayOutcome& outcome) {
    WatchNote note;
    note.Ended = true;
    note.HowItEnded = DescribeEnd(outcome);
    note.Difference = CompareWithRecording(replay, outcome);
    note.AsRecorded = note.Difference.empty();
    return note;
}

std::string CompareWithRecording(const Replay& replay, const ReplayOutcome& outcome) {
    // A session closed by its window and one still running when the file was
    // written both end when the frames do.
    auto quiet = [](ReplayEnd e) { return e == ReplayEnd::Close || e == FrameEnd::GoingOn; };
    const bool sameEnd = outcome.End == replay.End || (quiet(outcome.End) && quiet(replay.End));
    if (outcome.Frames == replay.EndFrame && sameEnd && outcome.HighScore == replay.EndHighScore) return {};
    const std::string recorded = "the file records its end at frame " + std::to_string(replay.EndFrame) + " (" +
                                 ReplayEndName(replay.End) + ", high score " + std::to_string(replay.EndHighScore) +
                                 ")";
    if (outcome.Frames < replay.EndFrame && quiet(outcome.End))
        return "the frames ran out at frame " + std::to_string(outcome.Frames) + ", but " + recorded;
    return "the replay ended at frame " + std::to_string(outcome.Frames) + " (" + ReplayEndName(outcome.End) +
           ", high score " + std::to_string(outcome.HighScore) + "), but " + recorded;
}

}  // namespace pm

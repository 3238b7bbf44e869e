#include "driver/replay.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>

#include "platform/files/files.h"
#include "platform/read_digits.h"


namespace pm {

namespace {

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

namespace {

// A line as the replay reads it: without a CR before its end or a comment.
std::string_view Bare(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    return line;
}

std::vector<std::string_view> LineWords(std::string_view line) { return Words(Bare(line)); }

std::optional<ReplayEndLine> EndOf(const std::vector<std::string_view>& words) {
    if (words.size() != 4 || words[0] != "end") return std::nullopt;
    const std::optional<uint64_t> frames = ParseDigits(words[1], std::numeric_limits<int64_t>::max());
    const ReplayEnd* how = nullptr;
    for (const ReplayEnd& e : AllEnds)
        if (words[2] == ReplayEndName(e)) how = &e;
    const std::optional<int32_t> score = Signed32(words[3]);
    if (!frames || !how || !score) return std::nullopt;
    return ReplayEndLine{*frames, *how, *score};
}

const std::string FramesLimitText =
    std::to_string(MaxReplayFrames) + " frames (24 hours at 60 frames a second), the most a replay holds";

std::string TooLong(uint64_t frames) {
    return "the end line claims " + std::to_string(frames) + " frames; " + FramesLimitText;
}

// Reads a replay line by line.
// Mended: the spans must add up to the end line's frames, and a session may
// not claim more than MaxReplayFrames; a 73-byte file ("4294967295 -" with
// "end 1 escape 1000") used to be played for 4.3 billion frames. The end
// line, when it was read first from the
// file's tail, bounds the spans: a file whose spans run past it is refused at
// the first span that does, before the rest is read.
class ReplayParser {
public:
    ReplayParser(Replay& replay, keys::ScriptError& error, const std::optional<ReplayEndLine>& tailEnd)
        : replay_(replay), error_(error) {
        replay_ = Replay{};
        if (tailEnd && tailEnd->Frames <= MaxReplayFrames) {
            limit_ = tailEnd->Frames;
            limitIsEnd_ = true;
        }
    }

    bool Line(std::string_view line, int number) {
        number_ = number;
        if (line.size() > keys::MaxScriptLineBytes)
            return Fail("the line is longer than " + std::to_string(keys::MaxScriptLineBytes) + " bytes");
        if (line.find('\0') != std::string_view::npos) return Fail("the line holds a NUL byte");
        line = Bare(line);
        const std::vector<std::string_view> words = Words(line);
        if (words.empty()) {
            if (expect_ == Expect::Magic) return Fail(NotAReplay);
            return true;
        }
        switch (expect_) {
            case Expect::Magic: {
                if (words[0] != ReplayMagic || words.size() != 2) return Fail(NotAReplay);
                const std::optional<uint64_t> version = ParseDigits(words[1], 1000000);
                if (!version) return Fail("bad format version " + Quote(words[1]));
                if (*version != ReplayVersion)
                    return Fail("format version " + std::to_string(*version) + "; this game reads version " +
                                std::to_string(ReplayVersion));
                expect_ = Expect::Seed;
                return true;
            }
            case Expect::Seed: {
                std::optional<uint64_t> seed;
                if (words.size() == 2 && words[0] == "seed") seed = ParseDigits(words[1], 4294967295u);
                if (!seed) return Fail("expected \"seed N\" (0 to 4294967295), found " + Quote(line));
                replay_.Seed = static_cast<uint32_t>(*seed);
                expect_ = Expect::HighScore;
                return true;
            }
            case Expect::HighScore: {
                std::optional<int32_t> score;
                if (words.size() == 2 && words[0] == "highscore") score = Signed32(words[1]);
                if (!score) return Fail("expected \"highscore N\" (a 32-bit number), found " + Quote(line));
                replay_.HighScore = *score;
                expect_ = Expect::Keys;
                return true;
            }
            case Expect::Keys: {
                if (words[0] == "end") {
                    const std::optional<ReplayEndLine> end = EndOf(words);
                    if (!end)
                        return Fail("expected \"end FRAMES escape|mouse|close|running HIGHSCORE\", found " +
                                    Quote(line));
                    if (end->Frames > MaxReplayFrames) return Fail(TooLong(end->Frames));
                    if (end->Frames != frames_)
                        return Fail("the spans add up to " + std::to_string(frames_) + " frames, but the end line says " +
                                    std::to_string(end->Frames));
                    replay_.EndFrame = end->Frames;
                    replay_.End = end->End;
                    replay_.EndHighScore = end->HighScore;
                    expect_ = Expect::Nothing;
                    return true;
                }
                keys::ScriptSpan span;
                span.Line = number;
                std::string message;
                if (!keys::ParseSpanLine(line, span, message)) return Fail(message);
                frames_ += span.Count;
                if (frames_ > limit_)
                    return Fail(limitIsEnd_ ? "the spans go on past frame " + std::to_string(limit_) +
                                                  ", where the end line says the session ended"
                                            : "the spans go on past " + FramesLimitText);
                replay_.Keys.Spans.push_back(span);
                return true;
            }
            case Expect::Nothing:
                return Fail("text after the end line: " + Quote(line));
        }
        return true;
    }

    // After the last line, numbered `lines`.
    bool Finish(int lines) {
        if (expect_ == Expect::Nothing) return true;
        number_ = lines + 1;
        return Fail(expect_ == Expect::Magic ? "the file is empty" : "the file stops before its end line (cut short?)");
    }

private:
    static constexpr const char* NotAReplay = "not a replay file: the first line must be \"pellimunch-replay 1\"";
    bool Fail(std::string message) {
        error_ = {number_, std::move(message)};
        return false;
    }

    enum class Expect { Magic, Seed, HighScore, Keys, Nothing };
    Replay& replay_;
    keys::ScriptError& error_;
    Expect expect_ = Expect::Magic;
    int number_ = 0;
    uint64_t frames_ = 0;
    uint64_t limit_ = MaxReplayFrames;
    bool limitIsEnd_ = false;
};

// How much of a file's end is read to find its end line: the line itself
// with room for a few blank or comment lines after it.
constexpr size_t TailBytes = 2 * keys::MaxScriptLineBytes;

}  // namespace

namespace {

// The end line of a replay's tail, and where in the tail it starts.
std::optional<ReplayEndLine> EndOfTail(std::string_view head, std::string_view tail, bool whole, size_t& at) {
    keys::LineReader first(head);
    std::string_view line;
    if (!first.Next(line)) return std::nullopt;
    const std::vector<std::string_view> magic = LineWords(line);
    // The version as the whole reading takes it ("01" is 1 too).
    if (magic.size() != 2 || magic[0] != ReplayMagic || ParseDigits(magic[1], 1000000) != ReplayVersion)
        return std::nullopt;
    // The last line that says anything must be the end line.
    size_t stop = tail.size();
    while (true) {
        const size_t newline = stop == 0 ? std::string_view::npos : tail.rfind('\n', stop - 1);
        // A line cut by the start of the tail is not known whole.
        if (newline == std::string_view::npos && !whole) return std::nullopt;
        at = newline == std::string_view::npos ? 0 : newline + 1;
        const std::vector<std::string_view> words = LineWords(tail.substr(at, stop - at));
        if (!words.empty()) return EndOf(words);
        if (newline == std::string_view::npos) return std::nullopt;
        stop = newline;
    }
}

}  // namespace

std::optional<ReplayEndLine> ReplayEndOf(std::string_view head, std::string_view tail, bool whole) {
    size_t at = 0;
    return EndOfTail(head, tail, whole, at);
}

bool ParseReplay(std::string_view text, Replay& replay, keys::ScriptError& error) {
    const size_t tail = text.size() > TailBytes ? text.size() - TailBytes : 0;
    size_t at = 0;
    const std::optional<ReplayEndLine> end = EndOfTail(text, text.substr(tail), tail == 0, at);
    // A session longer than a replay may hold is refused without reading it.
    if (end && end->Frames > MaxReplayFrames) {
        replay = Replay{};
        const auto lines = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(tail + at), '\n');
        error = {static_cast<int>(lines) + 1, TooLong(end->Frames)};
        return false;
    }
    ReplayParser parser(replay, error, end);
    keys::LineReader lines(text);
    std::string_view line;
    while (lines.Next(line))
        if (!parser.Line(line, lines.Number())) return false;
    return parser.Finish(lines.Number());
}

namespace {

// Opens a replay file for reading once it is known to be a regular file of a
// size a replay can have.
bool OpenReplay(InputFile& f, const std::string& path, std::string& message) {
    switch (f.Open(path)) {
        case InputFile::Opened::Ok: break;
        case InputFile::Opened::NotRegular: message = path + ": not a regular file"; return false;
        case InputFile::Opened::Missing:
        case InputFile::Opened::Failed: message = path + ": " + f.SystemText(); return false;
    }
    // The size of what was opened, not of what the name held a moment ago.
    if (f.Size() > MaxReplayBytes) {
        message = path + ": too large for a replay (" + std::to_string(f.Size()) +
                  " bytes; a replay of 24 hours takes at most " + std::to_string(MaxReplayBytes) + ")";
        return false;
    }
    return true;
}

// The end line of an open replay, from its first line's worth of bytes and
// its tail; `at` is where the end line starts in the file.
std::optional<ReplayEndLine> EndOfFile(InputFile& f, bool& readFailed, uint64_t& at) {
    std::string head, tail;
    const uint64_t size = f.Size();
    const uint64_t tailStart = size > TailBytes ? size - TailBytes : 0;
    readFailed = !f.ReadAt(0, 64, head) || !f.ReadAt(tailStart, static_cast<size_t>(size - tailStart), tail);
    if (readFailed) return std::nullopt;
    size_t inTail = 0;
    const std::optional<ReplayEndLine> end = EndOfTail(head, tail, tailStart == 0, inTail);
    at = tailStart + inTail;
    return end;
}

// A replay a piece at a time from its start.
class Pieces {
public:
    explicit Pieces(InputFile& f) : f_(f) {}
    // False at the end; `failed` after a failed read.
    bool Next(std::string& piece) {
        if (failed_ || !f_.ReadAt(at_, 65536, piece)) {
            failed_ = true;
            return false;
        }
        at_ += piece.size();
        return !piece.empty();
    }
    bool Failed() const { return failed_; }

private:
    InputFile& f_;
    uint64_t at_ = 0;
    bool failed_ = false;
};

// The number of the line that starts at byte `at`.
std::optional<int> LineAt(InputFile& f, uint64_t at) {
    Pieces pieces(f);
    int64_t lines = 1;
    std::string piece;
    while (at > 0) {
        if (!pieces.Next(piece)) return std::nullopt;
        const size_t n = at < piece.size() ? static_cast<size_t>(at) : piece.size();
        lines += std::count(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n), '\n');
        at -= n;
    }
    return static_cast<int>(lines);
}

}  // namespace

bool ReadReplayEnd(const std::string& path, ReplayEndLine& end, std::string& message) {
    InputFile f;
    if (!OpenReplay(f, path, message)) return false;
    bool readFailed = false;
    uint64_t at = 0;
    const std::optional<ReplayEndLine> found = EndOfFile(f, readFailed, at);
    if (!found) {
        message = path + (readFailed ? ": " + f.Why() : ": not a replay, or one cut short before its end line");
        return false;
    }
    end = *found;
    return true;
}

bool LoadReplay(const std::string& path, Replay& replay, std::string& message) {
    InputFile f;
    if (!OpenReplay(f, path, message)) return false;
    auto cannotRead = [&] {
        message = path + ": " + f.Why();
        return false;
    };
    bool readFailed = false;
    uint64_t at = 0;
    const std::optional<ReplayEndLine> tailEnd = EndOfFile(f, readFailed, at);
    if (readFailed) return cannotRead();
    // A session longer than a replay may hold is refused without reading it.
    if (tailEnd && tailEnd->Frames > MaxReplayFrames) {
        replay = Replay{};
        const std::optional<int> line = LineAt(f, at);
        if (!line) return cannotRead();
        message = path + " line " + std::to_string(*line) + ": " + TooLong(tailEnd->Frames);
        return false;
    }

    keys::ScriptError error;
    ReplayParser parser(replay, error, tailEnd);
    auto refused = [&] {
        message = path + " line " + std::to_string(error.Line) + ": " + error.Message;
        return false;
    };
    // The text a piece at a time; a line longer than the longest allowed is
    // handed over cut, which is enough for the parser to refuse it.
    std::string pending;
    std::string piece;
    int number = 0;
    Pieces pieces(f);
    while (pieces.Next(piece)) {
        pending += piece;
        size_t from = 0;
        for (size_t newline; (newline = pending.find('\n', from)) != std::string::npos; from = newline + 1)
            if (!parser.Line(std::string_view(pending).substr(from, newline - from), ++number)) return refused();
        pending.erase(0, from);
        if (pending.size() > keys::MaxScriptLineBytes && !parser.Line(pending, ++number)) return refused();
    }
    if (pieces.Failed()) return cannotRead();
    if (!pending.empty() && !parser.Line(pending, ++number)) return refused();
    if (!parser.Finish(number)) return refused();
    return true;
}

keys::ScriptSpan SpanOf(const FrameInput& input) {
    keys::ScriptSpan span;
    span.Count = 1;
    for (uint8_t code : keys::NamedKeyCodes)
        if (input.Keys[code] != 0) span.Keys.Add(code);
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

void ReplayBuilder::Add(const FrameInput& input, int32_t highScore) {
    if (Full()) return;
    if (frames_ + 1 == MaxReplayFrames) highScoreWhenFull_ = highScore;
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
    r.End = Full() ? FrameEnd::GoingOn : end;
    r.EndHighScore = Full() ? highScoreWhenFull_ : highScore;
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

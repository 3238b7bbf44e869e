// Replay files: the writer and the parser agree on every key and count, each
// kind of broken file is refused with its line, and the session recorder
// keeps last.replay current and best.replay at the best run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "driver/replay.h"
#include "driver/replay_keeper.h"
#include "harness.h"
#include "platform/files/files.h"
#include "platform/score_file.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

Replay Sample() {
    Replay r;
    r.Seed = 4294967295u;
    r.HighScore = -2147483647 - 1;
    ReplayBuilder rec;
    rec.Begin(r.Seed, r.HighScore);
    FrameInput all;
    for (Key::Code k : {Key::Escape, Key::LShift, Key::RShift, Key::Space, Key::Up, Key::Left, Key::Right,
                        Key::Delete, Key::W, Key::E, Key::R})
        all.Keys[k] = 128;
    all.MousePressed = true;
    rec.Add(FrameInput{});
    rec.Add(all);
    rec.Add(all);
    r = rec.Snapshot(ReplayEnd::Mouse, 2147483647);
    // The rest of the longest session a replay holds in one span.
    keys::ScriptSpan longest;
    longest.Count = static_cast<uint32_t>(MaxReplayFrames - 3);
    longest.Keys = {Key::Right, Key::Space};
    r.Keys.Spans.push_back(longest);
    r.EndFrame = r.Keys.TotalFrames();
    return r;
}

TEST(ReplayFile, WriterAndParserAgreeOnEveryKeyAndTheLongestCounts) {
    const Replay r = Sample();
    const std::string text = FormatReplay(r);
    EXPECT_EQ(text.rfind("pellimunch-replay 1\nseed 4294967295\nhighscore -2147483648\n1 -\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n2 Escape+LShift+RShift+Space+Up+Left+Right+Delete+W+E+R+Mouse\n"), std::string::npos);
    EXPECT_NE(text.find("\n5183997 Space+Right\n"), std::string::npos);
    EXPECT_NE(text.find("\nend 5184000 mouse 2147483647\n"), std::string::npos);
    // The longest line a frame can take is the one the file size limit allows for.
    EXPECT_EQ(text.find("\n2 Escape+") + MaxReplayFrameBytes, text.find("\n5183997"));

    Replay back;
    keys::ScriptError error;
    ASSERT_TRUE(ParseReplay(text, back, error)) << error.Line << ": " << error.Message;
    EXPECT_EQ(FormatReplay(back), text);
    EXPECT_EQ(back.Seed, r.Seed);
    EXPECT_EQ(back.HighScore, r.HighScore);
    EXPECT_EQ(back.EndFrame, r.EndFrame);
    EXPECT_EQ(back.End, ReplayEnd::Mouse);
    EXPECT_EQ(back.EndHighScore, 2147483647);
    // What the game read comes back frame for frame.
    keys::ScriptCursor cursor(back.Keys);
    EXPECT_EQ(InputOf(*cursor.Next()).Keys, FrameInput{}.Keys);
    const FrameInput second = InputOf(*cursor.Next());
    EXPECT_EQ(second.Keys[Key::Delete], 128);
    EXPECT_TRUE(second.MousePressed);

    // Comments, blank lines and CR LF line ends are read as well.
    std::string dos = "pellimunch-replay 1\r\n# a note\r\n\r\nseed 7\r\nhighscore 1000\r\n3 Left # hop\r\nend 3 close 1000\r\n";
    ASSERT_TRUE(ParseReplay(dos, back, error)) << error.Message;
    EXPECT_EQ(back.Seed, 7u);
    EXPECT_EQ(back.Keys.TotalFrames(), 3u);
    EXPECT_EQ(back.End, ReplayEnd::Close);
}

TEST(ReplayFile, BrokenFilesAreRefusedWithTheirLine) {
    const std::string head = "pellimunch-replay 1\nseed 5\nhighscore 1000\n";
    const struct {
        std::string Text;
        int Line;
        const char* Says;
    } cases[] = {
        {"", 1, "empty"},
        {"pellimunch-replay 2\nseed 5\n", 1, "version 2"},
        {"some other file\n", 1, "not a replay"},
        {"pellimunch-replay x\n", 1, "version"},
        {"pellimunch-replay 1\nseed -3\n", 2, "seed"},
        {"pellimunch-replay 1\nseed 4294967296\n", 2, "seed"},
        {"pellimunch-replay 1\nseed 5\nhighscore 2147483648\n", 3, "highscore"},
        {"pellimunch-replay 1\nseed 5\n3 Left\n", 3, "highscore"},
        {head + "3 Left\n0 Right\n", 5, "positive"},
        {head + "3 Jump\n", 4, "unknown key"},
        {head + "3 Left\n", 5, "stops before its end line"},
        {head + "3 Left\nend 3 quit 1000\n", 5, "end FRAMES"},
        {head + "3 Left\nend 3 close\n", 5, "end FRAMES"},
        {head + "3 Left\nend 3 close 1000\n2 Left\n", 6, "after the end line"},
        {head + std::string("3 Le\0ft\n", 8), 4, "NUL"},
        {head + "3 Left" + std::string(5000, ' ') + "\n", 4, "longer than"},
        {head + "3 Left" + std::string(70000, 'x'), 4, "longer than"},
        // The spans and the end line must agree, and no session is longer than a day.
        {head + "4294967295 -\nend 1 escape 1000\n", 4, "past frame 1, where the end line"},
        {head + "3 Left\n2 -\nend 4 escape 1000\n# note\n\n", 5, "past frame 4"},
        {head + "3 Left\nend 4 escape 1000\n", 5, "add up to 3 frames, but the end line says 4"},
        {head + "3 Left\nend 2 escape 1000\n2 -\n", 5, "add up to 3 frames"},
        {head + "5184001 -\n", 4, "past 5184000 frames (24 hours"},
        {head + "3 -\nend 99999999999 escape 1000\n", 5, "claims 99999999999 frames"},
    };
    const fs::path dir = fs::temp_directory_path() / ("pm-replay-broken-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "r.replay").string();
    for (const auto& c : cases) {
        Replay r;
        keys::ScriptError error;
        EXPECT_FALSE(ParseReplay(c.Text, r, error)) << c.Text;
        EXPECT_EQ(error.Line, c.Line) << c.Text << " -> " << error.Message;
        EXPECT_NE(error.Message.find(c.Says), std::string::npos) << error.Message;
        // The file reader, a piece at a time, says the same.
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.Text;
        std::string message;
        EXPECT_FALSE(LoadReplay(file, r, message));
        EXPECT_EQ(message, file + " line " + std::to_string(error.Line) + ": " + error.Message);
    }
    fs::remove_all(dir);
}

TEST(ReplayFile, HostileFilesAreRefusedAtOnceAndOnlyTheEndIsReadToCompareRecords) {
    const fs::path dir = fs::temp_directory_path() / ("pm-replay-hostile-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "r.replay").string();
    Replay r;
    std::string message;
    const auto started = std::chrono::steady_clock::now();

    // 73 bytes that used to ask for 4.3 billion frames, 1,000 times over.
    std::string hostile = "pellimunch-replay 1\nseed 1\nhighscore 1000\n";
    for (int i = 0; i < 1000; ++i) hostile += "4294967295 -\n";
    std::ofstream(file, std::ios::binary) << hostile << "end 1 escape 1000\n";
    EXPECT_FALSE(LoadReplay(file, r, message));
    EXPECT_EQ(message, file + " line 4: the spans go on past frame 1, where the end line says the session ended");

    // A file larger than the longest session can write is refused unread.
    fs::resize_file(file, MaxReplayBytes + 1);
    EXPECT_FALSE(LoadReplay(file, r, message));
    EXPECT_NE(message.find("too large for a replay"), std::string::npos) << message;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));

    // Comparing records reads the first line and the end line: keys in
    // between that would not load do not matter, a missing end does.
    const std::string body = "pellimunch-replay 1\nseed 1\nhighscore 10\n" + std::string(100000, '?') + "\n";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << body << "end 3 running 4500 # kept\n\n";
    ReplayEndLine end;
    ASSERT_TRUE(ReadReplayEnd(file, end, message)) << message;
    EXPECT_EQ(end.HighScore, 4500);
    EXPECT_EQ(end.Frames, 3u);
    EXPECT_EQ(ClaimedHighScore(file), 4500);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << body;
    EXPECT_FALSE(ReadReplayEnd(file, end, message));
    EXPECT_EQ(ClaimedHighScore(file), std::nullopt);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "seed 1\nend 3 running 4500\n";
    EXPECT_FALSE(ReadReplayEnd(file, end, message));
    fs::remove_all(dir);
}

TEST(ReplayBuilder, StopsAtTheLongestSessionAndWritesWhatPlaysBack) {
    ReplayBuilder rec;
    rec.Begin(9, 1000);
    FrameInput in;
    in.Keys[Key::Right] = 128;
    for (uint64_t n = 1; n <= MaxReplayFrames + 5; ++n) rec.Add(in, n < MaxReplayFrames ? 1000 : 2000);
    EXPECT_TRUE(rec.Full());
    const Replay r = rec.Snapshot(ReplayEnd::Escape, 3000);
    EXPECT_EQ(r.EndFrame, MaxReplayFrames);
    EXPECT_EQ(r.End, FrameEnd::GoingOn);   // the session went on past what was kept
    EXPECT_EQ(r.EndHighScore, 2000);
    Replay back;
    keys::ScriptError error;
    const std::string text = FormatReplay(r);
    ASSERT_TRUE(ParseReplay(text, back, error)) << error.Line << ": " << error.Message;
    EXPECT_EQ(back.Keys.TotalFrames(), MaxReplayFrames);
}

TEST(ReplayFile, LoadNamesTheFileAndTheLineAndQuotesBadTextShortly) {
    const fs::path dir = fs::temp_directory_path() / "pm-replay-load";
    fs::create_directories(dir);
    const std::string file = (dir / "r.replay").string();
    std::ofstream(file) << "pellimunch-replay 1\nseed 5\nhighscore " << std::string(3000, '\x01') << "\n";
    Replay r;
    std::string message;
    EXPECT_FALSE(LoadReplay(file, r, message));
    EXPECT_EQ(message.rfind(file + " line 3: expected \"highscore N\"", 0), 0u) << message;
    EXPECT_LT(message.size(), 200u);
    EXPECT_NE(message.find("\\x01"), std::string::npos);
    EXPECT_FALSE(LoadReplay(dir.string(), r, message));
    EXPECT_NE(message.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(LoadReplay((dir / "missing").string(), r, message));
    EXPECT_NE(message.find("missing"), std::string::npos);
    fs::remove_all(dir);
}

TEST(ReplayFile, APlaybackThatDiffersFromTheRecordingSaysHow) {
    Replay r;
    r.EndFrame = 500;
    r.End = ReplayEnd::Escape;
    r.EndHighScore = 1200;
    EXPECT_EQ(CompareWithRecording(r, {500, ReplayEnd::Escape, 1200}), "");
    EXPECT_NE(CompareWithRecording(r, {500, ReplayEnd::Escape, 9999}).find("high score 9999"), std::string::npos);
    EXPECT_NE(CompareWithRecording(r, {420, ReplayEnd::Close, 1000}).find("the frames ran out at frame 420"),
              std::string::npos);
    // A closed window and a session written while running both end with the frames.
    r.End = FrameEnd::GoingOn;
    EXPECT_EQ(CompareWithRecording(r, {500, ReplayEnd::Close, 1200}), "");
}

TEST(ReplayBuilder, MergesEqualFramesAndKeepsOnlyTheKeysTheGameReads) {
    ReplayBuilder rec;
    rec.Begin(9, 1000);
    FrameInput in;
    in.Keys[Key::Right] = 128;
    in.Keys[Key::A] = 128;   // held, but the game never reads it
    for (int i = 0; i < 40; ++i) rec.Add(in);
    in.MousePressed = true;
    rec.Add(in);
    const Replay r = rec.Snapshot(ReplayEnd::Mouse, 1000);
    ASSERT_EQ(r.Keys.Spans.size(), 2u);
    EXPECT_EQ(keys::FormatSpan(r.Keys.Spans[0]), "40 Right");
    EXPECT_EQ(keys::FormatSpan(r.Keys.Spans[1]), "1 Right+Mouse");
    EXPECT_EQ(r.EndFrame, 41u);
}

// Two sessions in a row, driven through the states by hand.
class Sessions : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pm-sessions-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        folder_ = dir_;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A session whose one run ends with the record at `after`.
    void Session(int32_t before, int32_t after) {
        HeadlessHost host;
        FormMain form(host);
        form.HighScore = before;
        ReplayKeeper s(Last(), Best());
        ReplayBuilder sofar;
        sofar.Begin(3, before);
        s.Start(GameView(form));
        uint64_t n = 0;
        auto frame = [&](int16_t state) {
            form.GameState = state;
            sofar.Add(FrameInput{});
            s.Frame(sofar, GameView(form), ++n);
        };
        frame(State::Title);
        frame(State::Play);
        frame(State::GameOver);
        form.HighScore = after;
        frame(State::GameOver);
        frame(State::Title);
        frame(State::Title);
        form.KeptRecord = form.HighScore;
        form.Ended = ReplayEnd::Escape;
        s.Finish(sofar, GameView(form));
    }
    std::string Last() const { return (folder_ / "last.replay").string(); }
    std::string Best() const { return (folder_ / "best.replay").string(); }
    Replay Read(const std::string& path) const {
        Replay r;
        std::string message;
        EXPECT_TRUE(LoadReplay(path, r, message)) << message;
        return r;
    }

    fs::path dir_;
    fs::path folder_ = dir_;   // where the replays go
};

TEST_F(Sessions, BestReplayIsNeverReplacedByALowerRun) {
    Session(1000, 4000);   // a new record
    Replay best = Read(Best());
    EXPECT_EQ(best.EndHighScore, 4000);
    EXPECT_EQ(best.End, FrameEnd::GoingOn);
    EXPECT_EQ(best.EndFrame, 5u);   // up to that run's game over
    Replay last = Read(Last());
    EXPECT_EQ(last.EndFrame, 6u);
    EXPECT_EQ(last.End, ReplayEnd::Escape);

    Session(1000, 2500);   // a record after a reset, but below the kept one
    EXPECT_EQ(Read(Best()).EndHighScore, 4000);
    EXPECT_EQ(Read(Last()).EndHighScore, 2500);

    Session(4000, 4000);   // no new record at all
    EXPECT_EQ(Read(Best()).EndHighScore, 4000);

    Session(4000, 6000);
    EXPECT_EQ(Read(Best()).EndHighScore, 6000);
}

TEST_F(Sessions, LastReplayIsOnDiskFromTheFirstGameOver) {
    HeadlessHost host;
    FormMain form(host);
    form.HighScore = 100;
    ReplayKeeper s(Last(), Best());
    ReplayBuilder sofar;
    sofar.Begin(3, 100);
    s.Start(GameView(form));
    uint64_t n = 0;
    for (int16_t state : {State::Title, State::Play, State::GameOver, State::Title, State::Play}) {
        form.GameState = state;
        sofar.Add(FrameInput{});
        s.Frame(sofar, GameView(form), ++n);
    }
    // The session goes on; a crash now would lose only the run in play.
    const Replay r = Read(Last());
    EXPECT_EQ(r.End, FrameEnd::GoingOn);
    EXPECT_EQ(r.EndFrame, 4u);
}

// A fresh account: no data folder yet, and no record to make score.dat's
// save create it. The replays make it; a killed save's leftover beside them
// goes at the next write, a fresh one (perhaps still being written) stays.
TEST_F(Sessions, ReplaysMakeTheirFolderAndClearAKilledSavesLeftovers) {
    folder_ = dir_ / "share" / "pellimunch";
    Session(1000, 1000);
    EXPECT_EQ(Read(Last()).EndHighScore, 1000);

    const auto put = [&](const char* name, std::chrono::seconds age) {
        std::ofstream(folder_ / name) << "pellimunch-replay 1\n";
        fs::last_write_time(folder_ / name, fs::file_time_type::clock::now() - age);
    };
    put(".last.replay.Xy12Zw", std::chrono::minutes(5));
    put(".best.replay.Xy12Zw", std::chrono::minutes(5));
    put(".last.replay.Fresh1", std::chrono::seconds(0));
    Session(1000, 2000);
    EXPECT_FALSE(fs::exists(folder_ / ".last.replay.Xy12Zw"));
    EXPECT_FALSE(fs::exists(folder_ / ".best.replay.Xy12Zw"));
    EXPECT_TRUE(fs::exists(folder_ / ".last.replay.Fresh1"));
    EXPECT_EQ(Read(Best()).EndHighScore, 2000);
}

// Two copies of the game keeping their best runs: the look at best.replay
// and the write are one step under the folder's lock, so a lower run never
// lands over a higher one written in between.
TEST_F(Sessions, BestReplayIsWrittenUnderTheFoldersLock) {
    std::optional<FolderLock> other(std::in_place, dir_.string());
    std::atomic<bool> done{false};
    std::thread copy([&] {
        Session(1000, 4000);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(done);
    EXPECT_FALSE(fs::exists(Best()));
    // The other copy keeps a higher run while it holds the lock.
    Replay higher;
    higher.EndHighScore = 9000;
    ASSERT_TRUE(ReplaceFile(Best(), FormatReplay(higher)));
    other.reset();
    copy.join();
    EXPECT_EQ(Read(Best()).EndHighScore, 9000);
    EXPECT_EQ(Read(Last()).EndHighScore, 4000);
}

}  // namespace
}  // namespace pm

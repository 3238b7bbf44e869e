// The board's verification against the runner: every stored replay, run as
// the board runs a submission (blank surfaces, no picture, the record from a
// scratch file), must give the runner's own state trace frame for frame, and
// the verdict the table needs.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "board/names.h"
#include "board/verify.h"
#include "machine/key_codes.h"
#include "trace_writer.h"

namespace {

struct Golden {
    std::string Name;
    uint32_t Seed;
    std::string Frames, Score;
};

std::vector<Golden> ReadList() {
    std::ifstream list(PM_SOURCE_DIR "tests/golden/replays.tsv");
    std::vector<Golden> out;
    for (std::string line; std::getline(list, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Golden g;
        std::string seed, sha;
        std::getline(fields, g.Name, '\t');
        std::getline(fields, seed, '\t');
        std::getline(fields, g.Frames, '\t');
        std::getline(fields, g.Score, '\t');
        g.Seed = static_cast<uint32_t>(std::stoul(seed));
        out.push_back(g);
    }
    return out;
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::string RunTool(const std::string& command) {
    std::string out;
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

// The runner's state trace of a stored replay, and the same replay as the
// file a player would send (its end line taken from the runner's).
struct Recorded {
    std::vector<std::string> Lines;
    std::string ReplayText;
};

Recorded Record(const Golden& g, const std::string& scratch) {
    const std::string keys = PM_SOURCE_DIR "tests/golden/" + g.Name + ".keys";
    const std::string score = scratch + "/" + g.Name + ".dat";
    std::remove(score.c_str());
    if (g.Score != "-") std::ofstream(score) << g.Score << " \r\n";
    std::string command = PM_BUILD_DIR "pellimunch-sim --trace state --seed " + std::to_string(g.Seed) +
                          " --script " + keys + " --score " + score;
    if (g.Frames != "-") command += " --frames " + g.Frames;
    Recorded r;
    std::istringstream trace(RunTool(command));
    for (std::string line; std::getline(trace, line);) r.Lines.push_back(line + "\n");
    if (r.Lines.empty()) return r;

    pm::Replay replay;
    replay.Seed = g.Seed;
    replay.HighScore = g.Score == "-" ? 1000 : std::stoi(g.Score);
    pm::keys::ScriptError bad;
    EXPECT_TRUE(pm::keys::ParseScript(Slurp(keys), replay.Keys, bad)) << bad.Message;
    const uint64_t scripted = replay.Keys.TotalFrames();
    if (g.Frames != "-" && std::stoull(g.Frames) > scripted)
        replay.Keys.Spans.push_back({static_cast<uint32_t>(std::stoull(g.Frames) - scripted), 0, {}, false});
    // {"frame":N,"end":"script|escape|mouse","HighScore":H}
    const std::string& end = r.Lines.back();
    const auto field = [&](const char* name) {
        const size_t at = end.find(std::string("\"") + name + "\":") + std::string(name).size() + 3;
        return end.substr(at, end.find_first_of(",}", at) - at);
    };
    replay.EndFrame = std::stoull(field("frame"));
    const std::string how = field("end");
    replay.End = how == "\"escape\"" ? pm::ReplayEnd::Escape : how == "\"mouse\"" ? pm::ReplayEnd::Mouse : pm::ReplayEnd::Close;
    replay.EndHighScore = std::stoi(field("HighScore"));
    r.Lines.pop_back();
    r.ReplayText = pm::FormatReplay(replay);
    return r;
}

class Scratch {
public:
    Scratch() {
        char tmpl[] = "/tmp/pm-board-test.XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~Scratch() { std::system(("rm -rf " + path_).c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

TEST(BoardVerify, EveryStoredReplayRunsAsTheRunnerRanItWithoutAPicture) {
    Scratch scratch;
    int ranked = 0, refused = 0;
    for (const Golden& g : ReadList()) {
        SCOPED_TRACE(g.Name);
        const Recorded rec = Record(g, scratch.Path());
        ASSERT_FALSE(rec.Lines.empty()) << "the runner wrote no trace";
        pm::Replay replay;
        pm::board::Verification v = pm::board::Check(rec.ReplayText, replay);
        ASSERT_EQ(v.Result, pm::board::Verdict::Ranked) << v.Message;
        {
            std::vector<std::string> lines;
            pm::board::RunHooks hooks;
            hooks.OnFrame = [&](uint64_t frame, const pm::FormMain& form) {
                std::string line;
                pm::sim::AppendFrameLine(line, static_cast<int64_t>(frame), pm::sim::Channels{}, form, {}, {});
                lines.push_back(std::move(line));
            };
            pm::board::Verification run = v;
            pm::board::Run(replay, run, hooks);
            ASSERT_EQ(lines.size(), rec.Lines.size());
            for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], rec.Lines[i]) << "frame " << i;
            // The keys the help never names are used by the replays that set
            // up fevers and patterns: those runs are refused, never ranked.
            bool hidden = false;
            for (const pm::keys::ScriptSpan& span : replay.Keys.Spans)
                for (uint8_t k : span.Keys) hidden = hidden || k == pm::Key::W || k == pm::Key::E || k == pm::Key::R;
            if (run.Result == pm::board::Verdict::Ranked) {
                EXPECT_FALSE(hidden);
                EXPECT_GT(run.Best.Frames, 0u);
                EXPECT_GE(run.Best.Level, 1);
                ++ranked;
            } else {
                ASSERT_EQ(run.Result, pm::board::Verdict::Refused) << run.Message;
                EXPECT_EQ(hidden, run.Message.find("W, E or R") != std::string::npos) << run.Message;
                ++refused;
            }
        }
    }
    EXPECT_GT(ranked, 3);
    EXPECT_GT(refused, 1);
}

TEST(BoardVerify, ForgedEndsAndLimitsAreCaught) {
    Scratch scratch;
    Golden g{"record", 8, "1300", "10"};
    const Recorded rec = Record(g, scratch.Path());
    pm::board::Verification v = pm::board::VerifyReplay(rec.ReplayText);
    ASSERT_EQ(v.Result, pm::board::Verdict::Ranked) << v.Message;
    EXPECT_GT(v.Best.Score, 10);

    // Left while paused (Escape or a click on no frame): the same run.
    for (pm::ReplayEnd way : {pm::ReplayEnd::Escape, pm::ReplayEnd::Mouse}) {
        pm::Replay paused;
        pm::board::Check(rec.ReplayText, paused);
        paused.End = way;
        const pm::board::Verification left = pm::board::VerifyReplay(pm::FormatReplay(paused));
        ASSERT_EQ(left.Result, pm::board::Verdict::Ranked) << left.Message;
        EXPECT_EQ(left.Hash, v.Hash);
    }

    // A claimed higher record, a session cut short, a key taken out.
    std::string forged = rec.ReplayText;
    const size_t end = forged.rfind("end ");
    std::string line = forged.substr(end);
    forged.replace(end, line.size(), line.substr(0, line.rfind(' ')) + " 999999\n");
    EXPECT_EQ(pm::board::VerifyReplay(forged).Result, pm::board::Verdict::Mismatch);
    std::string edited = rec.ReplayText;
    edited.replace(edited.find("1 LShift"), 8, "1 -");
    const pm::board::Verification e = pm::board::VerifyReplay(edited);
    EXPECT_EQ(e.Result, pm::board::Verdict::Mismatch) << e.Message;

    // The same best game is the same run, however the file spells it, from
    // whatever starting record, and with whatever frames after it.
    std::string respelled = rec.ReplayText;
    respelled.replace(respelled.find("1 LShift"), 8, "1 LShift  # go");
    EXPECT_FALSE(v.GameHash.empty());
    EXPECT_EQ(pm::board::VerifyReplay(respelled).GameHash, v.GameHash);
    pm::Replay longer;
    pm::board::Check(rec.ReplayText, longer);
    longer.HighScore = 0;
    longer.Keys.Spans.push_back({600, 0, {}, false});
    longer.EndFrame += 600;
    longer.EndHighScore = v.Best.Score;   // from 0 the record climbs to the game's score
    const pm::board::Verification stolen = pm::board::VerifyReplay(pm::FormatReplay(longer));
    ASSERT_EQ(stolen.Result, pm::board::Verdict::Ranked) << stolen.Message;
    EXPECT_EQ(stolen.Best.Score, v.Best.Score);
    EXPECT_EQ(stolen.GameHash, v.GameHash);
    pm::Replay other;
    pm::board::Check(rec.ReplayText, other);
    other.Seed += 1;
    EXPECT_NE(pm::board::RunHash(other, other.EndFrame), pm::board::RunHash(longer, other.EndFrame));

    // Past the limit, from the end line or from the keys: refused unrun.
    const std::string huge = "pellimunch-replay 1\nseed 1\nhighscore 1000\n1000000000000 -\nend 10 close 1000\n";
    EXPECT_EQ(pm::board::VerifyReplay(huge).Result, pm::board::Verdict::Malformed);
    // Keys that run on past their end line, however far: an edited file.
    std::string spans = "pellimunch-replay 1\nseed 1\nhighscore 1000\n";
    for (int i = 0; i < 4; ++i) spans += "4294967295 -\n";
    EXPECT_EQ(pm::board::VerifyReplay(spans + "end 4 close 1000\n").Result, pm::board::Verdict::Mismatch);
    // Keys past the end line: never played, but they would make a "new" run.
    std::string padded = rec.ReplayText;
    padded.insert(padded.rfind("end "), "5 Left\n");
    EXPECT_EQ(pm::board::VerifyReplay(padded).Result, pm::board::Verdict::Mismatch);
    EXPECT_EQ(pm::board::VerifyReplay("pellimunch-replay 1\nseed 1\nhighscore 1000\n1 -\nend 1000000000000 close 1000\n").Result,
              pm::board::Verdict::TooLong);
}

TEST(BoardNames, LettersOfAnyScriptDigitsAndFewMarks) {
    std::string why;
    const auto ok = [&](std::string_view raw) { return pm::board::CleanName(raw, why).value_or("<refused>"); };
    EXPECT_EQ(ok("  Ana-Maria_2.0 "), "Ana-Maria_2.0");
    EXPECT_EQ(ok("たろう"), "たろう");
    EXPECT_EQ(ok("Ελένη"), "Ελένη");
    EXPECT_EQ(ok("हिन्दी"), "हिन्दी");                 // vowel signs after letters
    EXPECT_EQ(ok("e\xCC\x81lise"), "\xC3\xA9lise");  // decomposed é is stored composed
    EXPECT_EQ(ok("DROP TABLE runs"), "DROP TABLE runs");
    EXPECT_EQ(ok("ABCDEFGHIJKLMNOP"), "ABCDEFGHIJKLMNOP");
    for (std::string_view bad : {"", "   ", "ABCDEFGHIJKLMNOPQ", "<b>x</b>", "a'b", "x\"y", "a;b", "tab\there",
                                 "nl\n", "\xCC\x81x", "\xFF\xFE", "emoji\xF0\x9F\x98\x80", "a\xE2\x80\xAE" "b"})
        EXPECT_EQ(ok(bad), "<refused>") << pm::keys::Quote(bad);
}

}  // namespace

// The runner's key script and command line.
#include <gtest/gtest.h>

#include <vector>

#include "machine/key_codes.h"
#include "options.h"
#include "driver/script.h"

namespace pm::sim {
namespace {

using namespace pm::keys;

Script Parse(std::string_view text) {
    Script s;
    ScriptError e;
    EXPECT_TRUE(ParseScript(text, s, e)) << "line " << e.Line << ": " << e.Message;
    return s;
}

ScriptError ParseBad(std::string_view text) {
    Script s;
    ScriptError e;
    EXPECT_FALSE(ParseScript(text, s, e)) << text;
    return e;
}

TEST(SimScript, CountsKeysCommentsAndBlankLines) {
    const Script s = Parse(
        "# comments and blank lines are ignored\n"
        "60 -              # 60 frames with no key down\n"
        "\n"
        "   \t\n"
        "1 LShift\n"
        "12 Right+Space\n"
        "2 Mouse\n"
        "1 Escape");   // no newline at the end
    ASSERT_EQ(s.Spans.size(), 5u);
    EXPECT_EQ(s.TotalFrames(), 76u);
    EXPECT_EQ(s.Spans[0].Count, 60u);
    EXPECT_TRUE(s.Spans[0].Keys.empty());
    EXPECT_FALSE(s.Spans[0].Mouse);
    EXPECT_EQ(s.Spans[0].Line, 2);
    EXPECT_EQ(s.Spans[1].Keys, KeySet{Key::LShift});
    EXPECT_EQ(s.Spans[1].Line, 5);
    EXPECT_EQ(s.Spans[2].Keys, (KeySet{Key::Right, Key::Space}));
    EXPECT_TRUE(s.Spans[3].Mouse);
    EXPECT_TRUE(s.Spans[3].Keys.empty());
    EXPECT_EQ(s.Spans[4].Keys, KeySet{Key::Escape});
}

TEST(SimScript, EveryKeyNameHasItsCode) {
    const std::pair<const char*, Key::Code> names[] = {
        {"Escape", Key::Escape}, {"LShift", Key::LShift}, {"RShift", Key::RShift}, {"Space", Key::Space},
        {"Up", Key::Up},         {"Left", Key::Left},     {"Right", Key::Right},   {"Delete", Key::Delete},
        {"W", Key::W},           {"E", Key::E},           {"R", Key::R}};
    for (const auto& [name, code] : names) {
        ASSERT_TRUE(KeyCode(name).has_value()) << name;
        EXPECT_EQ(*KeyCode(name), code) << name;
    }
    EXPECT_EQ(KeyCode("rshift"), Key::RShift);   // case does not matter
    EXPECT_FALSE(KeyCode("Mouse").has_value());
    EXPECT_FALSE(KeyCode("-").has_value());
    EXPECT_FALSE(KeyCode("Down").has_value());
    EXPECT_FALSE(KeyCode("").has_value());

    const Script s = Parse("3 W+E+R+Left+Delete+Up+RShift+Mouse\r\n");   // CRLF too
    ASSERT_EQ(s.Spans.size(), 1u);
    EXPECT_EQ(s.Spans[0].Keys, (KeySet{17, 18, 19, 203, 211, 200, 54}));
    EXPECT_TRUE(s.Spans[0].Mouse);
}

TEST(SimScript, EmptyScriptHasNoFrames) {
    EXPECT_EQ(Parse("").TotalFrames(), 0u);
    EXPECT_EQ(Parse("# nothing\n\n").TotalFrames(), 0u);
}

TEST(SimScript, BadLinesNameTheirLineNumber) {
    struct Case {
        const char* Text;
        int Line;
        const char* Says;
    };
    const Case cases[] = {
        {"10 -\n0 Right\n", 2, "positive"},
        {"# x\n\n-3 Right\n", 3, "not a positive integer"},
        {"5 Right\n1 Jump\n", 2, "unknown key \"Jump\""},
        {"5\n", 1, "expected a frame count"},
        {"1 -\n1 -\n1 Left Right\n", 3, "joined with '+'"},
        {"x Right\n", 1, "not a positive integer"},
        {"1.5 Right\n", 1, "not a positive integer"},
        {"2 Right++Space\n", 1, "empty key name"},
        {"2 Right+\n", 1, "empty key name"},
        {"2 -+Right\n", 1, "unknown key \"-\""},
        {"99999999999 -\n", 1, "too large"},
        {"+3 -\n", 1, "not a positive integer"},
    };
    for (const Case& c : cases) {
        const ScriptError e = ParseBad(c.Text);
        EXPECT_EQ(e.Line, c.Line) << c.Text;
        EXPECT_NE(e.Message.find(c.Says), std::string::npos) << c.Text << " -> " << e.Message;
    }
}

bool ParseArgs(std::vector<const char*> args, Options& o, std::string& error);

// Whatever the input, a message stays one short line: bad input is quoted
// with escapes and cut short.
TEST(SimScript, BadInputIsQuotedShortAndEscaped) {
    EXPECT_EQ(Quote("Jump"), "\"Jump\"");
    EXPECT_EQ(Quote(std::string_view("a\0b\n\x1B\xFF\"\\", 8)), "\"a\\x00b\\x0A\\x1B\\xFF\\\"\\\\\"");
    EXPECT_EQ(Quote(std::string(5000000, 'k'), 4), "\"kkkk\"... (5000000 bytes)");

    const std::string longLine = "1 " + std::string(5u << 20, 'x') + "\n";
    const ScriptError tooLong = ParseBad("1 -\n" + longLine);
    EXPECT_EQ(tooLong.Line, 2);
    EXPECT_LT(tooLong.Message.size(), 200u);
    EXPECT_NE(tooLong.Message.find("longer than 4096 bytes"), std::string::npos) << tooLong.Message;
    // A line just within the limit is fine when it holds a script line.
    Parse("1 Right   #" + std::string(MaxScriptLineBytes - 11, '.') + "\n");

    const ScriptError binary = ParseBad("3 Right+\x01\xFE\n");
    EXPECT_NE(binary.Message.find("unknown key \"\\x01\\xFE\""), std::string::npos) << binary.Message;

    Options o;
    std::string error;
    const std::string huge(100000, '9');
    EXPECT_FALSE(ParseArgs({"--seed", huge.c_str()}, o, error));
    EXPECT_LT(error.size(), 200u);
    EXPECT_FALSE(ParseArgs({"--bogus\x01\n"}, o, error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(error.find('\x01'), std::string::npos);
}

TEST(SimScript, CursorWalksFramesThenRunsDry) {
    const Script s = Parse("2 Left\n1 Right\n");
    ScriptCursor cursor(s);
    EXPECT_EQ(cursor.Next(), &s.Spans[0]);
    EXPECT_EQ(cursor.Next(), &s.Spans[0]);
    EXPECT_EQ(cursor.Next(), &s.Spans[1]);
    EXPECT_EQ(cursor.Next(), nullptr);
    EXPECT_EQ(cursor.Next(), nullptr);
}

bool ParseArgs(std::vector<const char*> args, Options& o, std::string& error) {
    args.insert(args.begin(), "pellimunch-sim");
    return ParseOptions(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(SimOptions, DefaultsAndEveryOption) {
    Options o;
    std::string error;
    ASSERT_TRUE(ParseArgs({}, o, error));
    EXPECT_EQ(o.Seed, 1u);
    EXPECT_FALSE(o.ScriptFile.has_value());
    EXPECT_FALSE(o.Frames.has_value());
    EXPECT_TRUE(o.Trace.State);
    EXPECT_FALSE(o.Trace.Sound || o.Trace.Draw);
    EXPECT_EQ(o.Every, 1u);

    Options p;
    ASSERT_TRUE(ParseArgs({"--seed", "4294967295", "--script", "-", "--frames=0", "--trace", "draw,sound", "--every",
                           "7", "--out", "t.jsonl", "--dir", "data", "--score", "s.dat", "--shot", "5:a.bmp",
                           "--shot=0:b:c.bmp"},
                          p, error))
        << error;
    EXPECT_EQ(p.Seed, 4294967295u);
    EXPECT_EQ(p.ScriptFile, "-");
    EXPECT_EQ(p.Frames, 0u);
    EXPECT_FALSE(p.Trace.State);
    EXPECT_TRUE(p.Trace.Sound && p.Trace.Draw);
    EXPECT_EQ(p.Every, 7u);
    EXPECT_EQ(p.Out, "t.jsonl");
    EXPECT_EQ(p.Dir, "data/");
    EXPECT_EQ(p.Score, "s.dat");
    ASSERT_EQ(p.Shots.size(), 2u);
    EXPECT_EQ(p.Shots[0].Frame, 5u);
    EXPECT_EQ(p.Shots[0].File, "a.bmp");
    EXPECT_EQ(p.Shots[1].Frame, 0u);
    EXPECT_EQ(p.Shots[1].File, "b:c.bmp");

    Options n;
    ASSERT_TRUE(ParseArgs({"--trace", "none"}, n, error));
    EXPECT_FALSE(n.Trace.Any());
}

TEST(SimOptions, BadArgumentsAreRefused) {
    const std::vector<std::vector<const char*>> bad = {
        {"--seed", "4294967296"}, {"--seed", "-1"},   {"--seed", "0x10"},  {"--seed"},
        {"--frames", "-5"},       {"--frames", ""},   {"--every", "0"},    {"--trace", "state,bogus"},
        {"--trace", ""},          {"--trace", "none,state"},               {"--shot", "12"},
        {"--shot", "x:a.bmp"},    {"--shot", "3:"},   {"--bogus", "1"},    {"stray"},
        {"--dir", ""},            {"--script", ""},
    };
    for (const auto& args : bad) {
        Options o;
        std::string error;
        EXPECT_FALSE(ParseArgs(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }

    // The first bad argument is the one named, in the runner's own words.
    const std::pair<std::vector<const char*>, std::string> told[] = {
        {{"stray"}, "unexpected argument \"stray\""},
        {{"-x"}, "unexpected argument \"-x\""},
        {{"--bogus", "1"}, "unknown option \"--bogus\""},
        {{"--help=1"}, "unknown option \"--help\""},
        {{"--seed"}, "--seed needs a value"},
        {{"--seed", "-1", "--bogus"}, "bad value \"-1\" for --seed (expected 0 to 4294967295)"},
        {{"--seed", "2", "--replay", "r.replay"},
         "--replay takes its seed, keys and high score from the file: drop --seed, --script and --score"},
    };
    for (const auto& [args, message] : told) {
        Options o;
        std::string error;
        EXPECT_FALSE(ParseArgs(args, o, error)) << args[0];
        EXPECT_EQ(error, message);
    }
    Options h;
    std::string error;
    EXPECT_TRUE(ParseArgs({"-h", "--script", "-"}, h, error) && h.Help && h.ScriptFile == "-") << error;
}

}  // namespace
}  // namespace pm::sim

// The game's command line and how it lays over the remembered settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/options.h"

namespace pm {
namespace {

struct Parsed {
    bool Ok;
    Options Values;
    std::string Error;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "pellimunch");
    Parsed p;
    p.Ok = ParseOptions(static_cast<int>(args.size()), args.data(), p.Values, p.Error);
    return p;
}

TEST(Options, TheGoodOnes) {
    Parsed p = Parse({});
    ASSERT_TRUE(p.Ok);
    EXPECT_FALSE(p.Values.Help || p.Values.Version || p.Values.Mute);
    EXPECT_FALSE(p.Values.FullScreen || p.Values.Scale || p.Values.Volume);

    p = Parse({"--window", "--scale", "2", "--volume=35", "--mute"});
    ASSERT_TRUE(p.Ok) << p.Error;
    EXPECT_EQ(p.Values.FullScreen, false);
    EXPECT_EQ(p.Values.Scale, 2);
    EXPECT_EQ(p.Values.Volume, 35);
    EXPECT_TRUE(p.Values.Mute);

    p = Parse({"--fullscreen", "--fullscreen", "--volume", "0", "--scale=8"});
    ASSERT_TRUE(p.Ok) << p.Error;
    EXPECT_EQ(p.Values.FullScreen, true);
    EXPECT_EQ(p.Values.Volume, 0);
    EXPECT_EQ(p.Values.Scale, 8);

    // A value is the next argument whatever it looks like.
    EXPECT_EQ(Parse({"--record", "--mute"}).Values.Record, "--mute");
    EXPECT_EQ(Parse({"--replay=a=b"}).Values.Replay, "a=b");

    EXPECT_TRUE(Parse({"--help"}).Values.Help);
    EXPECT_TRUE(Parse({"-h"}).Values.Help);
    EXPECT_TRUE(Parse({"--version"}).Values.Version);
    EXPECT_STREQ(VersionText(), "pellimunch " PELLIMUNCH_TEST_VERSION);
}

TEST(Options, BadOnesSayWhatIsWrongOnOneLine) {
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--fly"}, "unknown option --fly"},
        {{"-x"}, "unknown option -x"},
        {{"--fly=high"}, "option --fly takes no value"},
        {{"score.dat"}, "unexpected argument \"score.dat\""},
        {{"--scale"}, "option --scale needs a value"},
        {{"--scale", "0"}, "bad value \"0\" for --scale (1 to 8)"},
        {{"--scale", "9"}, "bad value \"9\" for --scale (1 to 8)"},
        {{"--scale=1.5"}, "bad value \"1.5\" for --scale (1 to 8)"},
        {{"--volume", "101"}, "bad value \"101\" for --volume (0 to 100)"},
        {{"--volume", "-1"}, "bad value \"-1\" for --volume (0 to 100)"},
        {{"--volume="}, "bad value \"\" for --volume (0 to 100)"},
        {{"--volume", "99999999999"}, "bad value \"99999999999\" for --volume (0 to 100)"},
        {{"--mute=yes"}, "option --mute takes no value"},
        {{"--window", "--fullscreen"}, "options --fullscreen and --window cannot both be given"},
        {{"--help=1"}, "option --help takes no value"},
        {{"-h=1"}, "unknown option -h=1"},
        {{"--record"}, "option --record needs a value"},
        {{"--replay="}, "option --replay needs a file name"},
        {{"--record", "a", "--replay", "b"}, "options --record and --replay cannot both be given"},
        {{"--scale", "0", "--fly"}, "bad value \"0\" for --scale (1 to 8)"},
    };
    for (const auto& [args, message] : cases) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.Ok) << args[0];
        EXPECT_EQ(p.Error, message);
        EXPECT_EQ(p.Error.find('\n'), std::string::npos);
    }
}

TEST(Options, LieOverTheRememberedSettings) {
    DesktopSettings remembered;
    remembered.FullScreen = true;
    remembered.Scale = 3;
    remembered.Volume = 40;
    remembered.Muted = true;

    // Nothing given: what was remembered.
    EXPECT_EQ(ApplyOptions(Options{}, remembered), remembered);

    // A scale alone is a window of that size; with --fullscreen it is only
    // the size for Alt+Enter.
    Options o;
    o.Scale = 2;
    DesktopSettings s = ApplyOptions(o, remembered);
    EXPECT_FALSE(s.FullScreen);
    EXPECT_EQ(s.Scale, 2);
    o.FullScreen = true;
    EXPECT_TRUE(ApplyOptions(o, remembered).FullScreen);

    // A volume turns the sound on, unless --mute comes with it.
    Options v;
    v.Volume = 70;
    s = ApplyOptions(v, remembered);
    EXPECT_EQ(s.Volume, 70);
    EXPECT_FALSE(s.Muted);
    v.Mute = true;
    EXPECT_TRUE(ApplyOptions(v, remembered).Muted);
}

}  // namespace
}  // namespace pm

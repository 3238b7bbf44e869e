// The runner's trace writer and its picture shots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <cctype>

#include "bmp_shot.h"
#include "hosts/headless/headless_host.h"
#include "game/shell/game_state.h"
#include "trace_writer.h"

namespace pm::sim {
namespace {

// The member names of a state object, in the order written; the lists hold
// only arrays, so every key found is a top-level member.
std::vector<std::string> KeysInOrder(const std::string& json) {
    // A quoted run of letters followed by a colon is a member name.
    std::vector<std::string> keys;
    for (size_t i = json.find('"'); i != std::string::npos; i = json.find('"', i + 1)) {
        size_t end = i + 1;
        while (end < json.size() && std::isalpha(static_cast<unsigned char>(json[end]))) ++end;
        if (end > i + 1 && end + 1 < json.size() && json[end] == '"' && json[end + 1] == ':') {
            keys.push_back(json.substr(i + 1, end - i - 1));
            i = end;
        }
    }
    return keys;
}

// What follows "Name": up to the next member.
std::string MemberText(const std::string& json, const std::string& name) {
    const std::string tag = "\"" + name + "\":";
    const size_t at = json.find(tag);
    if (at == std::string::npos) return "<missing>";
    size_t start = at + tag.size(), i = start;
    int depth = 0;
    for (; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '[') ++depth;
        if (c == ']') --depth;
        if (depth == 0 && (c == ',' || c == '}')) break;
        if (depth < 0) break;
    }
    return json.substr(start, i - start);
}

TEST(SimTrace, StateHasEveryMemberInOrder) {
    const std::vector<std::string> expected = {
        "SpinAngle", "ChainShine", "QuitFlag", "GameState", "Blink", "GroundFrame", "ShineSweep",
        "LastActiveItem", "BallX", "BallY", "BallVX", "BallVY", "OnGround", "Dashing", "DashCooldown",
        "ComboCount", "BallKind", "KindTimer", "QuakeTimer", "HighJump", "SlamTimer", "KindBoost",
        "StaggerTimer", "Lives", "GraceTimer", "BannerTextX", "BannerTextY", "BannerTextSpeed",
        "BannerTextPause", "ShotX", "ShotY", "ShotVX", "Score", "ShownScore", "HighScore", "ShowHighScore",
        "ChainCount", "LastChainCount", "ChainBonusTimer", "ChainBonus", "FeverPoints", "FeverThreshold",
        "FeverGaugeTimer", "FeverGauge", "Fever", "Level", "LevelTimer", "LevelBannerTimer", "GameOverTimer",
        "LastBaseItem", "RivalX", "RivalY", "RivalVX", "RivalBumpVX", "RivalMaxSpeed", "RivalVY",
        "RivalAccel", "RivalDizzyTimer", "RivalFrame", "RivalStunTimer", "RivalAwayTimer", "WorkRect",
        "MouthRect", "BodyRect", "ShotRect", "RivalRect", "Items", "Popups", "Specks", "Particles",
        "ExtraLifeGiven"};
    HeadlessHost host;
    FormMain form(host);
    std::string out;
    AppendState(out, form);
    EXPECT_EQ(KeysInOrder(out), expected);
    EXPECT_EQ(out.front(), '{');
    EXPECT_EQ(out.back(), '}');
}

TEST(SimTrace, StateValuesHaveTheirWidthsAndLayout) {
    HeadlessHost host;
    FormMain form(host);
    form.BallVX = static_cast<float>(0.2);
    form.BallX = 9999.0f;
    form.ShineSweep = -15.8f;
    form.OnGround = True;
    form.Score = 2147483647;
    form.RivalStunTimer = -32768;
    form.MouthRect = {-5, 10, 2000, -1};
    form.Items[0] = {1.5f, 2.25f, -3.0f, True, 4, 77};
    form.Items[99].Delay = -9;
    form.Popups[10] = {123, 0.5f, -0.25f, 8, 5};
    form.Specks[0] = {1, 2, 3, 4, 5, 6};
    form.Particles[63] = {-1, -2, -3, -4, -5, -6};
    form.ExtraLifeGiven[5] = True;

    std::string out;
    AppendState(out, form);
    EXPECT_EQ(MemberText(out, "BallVX"), "0.200000003");
    EXPECT_EQ(MemberText(out, "BallX"), "9999");
    EXPECT_EQ(MemberText(out, "ShineSweep"), "-15.8000002");
    EXPECT_EQ(MemberText(out, "OnGround"), "-1");
    EXPECT_EQ(MemberText(out, "Score"), "2147483647");
    EXPECT_EQ(MemberText(out, "RivalStunTimer"), "-32768");
    EXPECT_EQ(MemberText(out, "MouthRect"), "[-5,10,2000,-1]");
    EXPECT_EQ(MemberText(out, "ExtraLifeGiven"), "[0,0,0,0,0,-1]");

    const std::string items = MemberText(out, "Items");
    EXPECT_EQ(items.rfind("[[1.5,2.25,-3,-1,4,77],[0,0,0,0,0,0],", 0), 0u) << items.substr(0, 60);
    EXPECT_NE(items.find(",[0,0,0,0,0,-9]]"), std::string::npos);
    EXPECT_EQ(std::count(items.begin(), items.end(), '['), 101);

    const std::string popups = MemberText(out, "Popups");
    EXPECT_EQ(std::count(popups.begin(), popups.end(), '['), 12);
    EXPECT_NE(popups.find(",[123,0.5,-0.25,8,5]]"), std::string::npos);

    const std::string specks = MemberText(out, "Specks");
    EXPECT_EQ(std::count(specks.begin(), specks.end(), '['), 32);
    EXPECT_EQ(specks.rfind("[[1,2,3,4,5,6],", 0), 0u);

    const std::string particles = MemberText(out, "Particles");
    EXPECT_EQ(std::count(particles.begin(), particles.end(), '['), 65);
    EXPECT_NE(particles.find(",[-1,-2,-3,-4,-5,-6]]"), std::string::npos);
}

TEST(SimTrace, FloatsMatchPrintfAndRoundTrip) {
    std::mt19937 gen(12345);
    std::vector<float> values = {0.0f, -0.0f, 1.0f, 0.1f, 1e-45f, 3.4028235e38f, 16777216.0f, 123456789.0f,
                                 -2.5e-10f, 9999.0f};
    std::uniform_real_distribution<float> screen(-1000.0f, 1000.0f);
    for (int i = 0; i < 20000; ++i) values.push_back(screen(gen));
    for (int i = 0; i < 20000; ++i) {
        uint32_t bits = static_cast<uint32_t>(gen());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f)) values.push_back(f);
    }
    for (float v : values) {
        std::string out;
        AppendFloat(out, v);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.9g", static_cast<double>(v));
        ASSERT_EQ(out, expected);
        ASSERT_EQ(std::strtof(out.c_str(), nullptr), v) << out;
    }
    std::string ints;
    AppendInt(ints, -2147483648LL);
    AppendInt(ints, 0);
    EXPECT_EQ(ints, "-21474836480");
}

TEST(SimTrace, StringsAreEscapedAndStayValidUtf8) {
    auto json = [](std::string_view s) {
        std::string out;
        AppendJsonString(out, s);
        return out;
    };
    EXPECT_EQ(json("   [\xE2\x86\x90]  LEFT MOVE"), "\"   [\xE2\x86\x90]  LEFT MOVE\"");
    EXPECT_EQ(json("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(json(std::string_view("\n\r\t\b\f\x01\x1f\x7f\0", 9)), "\"\\n\\r\\t\\b\\f\\u0001\\u001f\\u007f\\u0000\"");
    EXPECT_EQ(json("\xE3\x83\x9C\xF0\x9F\x98\x80"), "\"\xE3\x83\x9C\xF0\x9F\x98\x80\"");   // 3 and 4 bytes
    // Broken text: a lone continuation byte, a cut sequence, an overlong
    // form, a surrogate and a byte that never starts UTF-8.
    const std::string bad = json("a\x80" "b\xE2\x86" "c\xC0\x80" "d\xED\xA0\x80" "e\xFF");
    EXPECT_EQ(bad,
              "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD"
              "d\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "e\xEF\xBF\xBD\"");
}

TEST(SimTrace, SoundDrawAndEndEntries) {
    std::string sound;
    AppendSound(sound, {{SoundId::Eat, SoundOp::Stop, 0},
                        {SoundId::Eat, SoundOp::Frequency, 12023},
                        {SoundId::Eat, SoundOp::Pan, -35},
                        {SoundId::Eat, SoundOp::Play, 0},
                        {SoundId::Oee, SoundOp::Pan, 1995},
                        {SoundId::HighScore, SoundOp::Play, 0}});
    EXPECT_EQ(sound,
              "[[\"EatSound\",\"stop\"],[\"EatSound\",\"freq\",12023],[\"EatSound\",\"pan\",-35],"
              "[\"EatSound\",\"play\"],[\"OeeSound\",\"pan\",1995],[\"HighScoreSound\",\"play\"]]");
    std::string none;
    AppendSound(none, {});
    EXPECT_EQ(none, "[]");

    DrawTrace draw;
    Surface ground("GroundSurface", 800, 176), main("MainSurface", 493, 329);
    draw.OnFill({0, 0, 800, 600}, {0, 0, 0});
    draw.OnCopy(false, ground, {0, 0, 799, 42}, 0, 467);
    draw.OnCopy(true, main, {1, 1, 71, 82}, -358, 408);
    draw.OnText(100, 105, "\"[\xE2\x86\x90]\"");
    EXPECT_EQ(draw.Entries(),
              "[\"fill\",[0,0,800,600],[0,0,0]],[\"opaque\",\"GroundSurface\",[0,0,799,42],0,467],"
              "[\"keyed\",\"MainSurface\",[1,1,71,82],-358,408],[\"text\",100,105,\"\\\"[\xE2\x86\x90]\\\"\"]");

    HeadlessHost host;
    FormMain form(host);
    std::string line;
    AppendFrameLine(line, 7, Channels{false, true, true}, form, {{SoundId::Land, SoundOp::Play, 0}}, draw.Entries());
    EXPECT_EQ(line.rfind("{\"frame\":7,\"sound\":[[\"LandSound\",\"play\"]],\"draw\":[[\"fill\"", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 3), "]}\n");
    draw.Clear();
    std::string empty;
    AppendFrameLine(empty, 0, Channels{true, true, true}, form, {}, draw.Entries());
    EXPECT_EQ(empty.rfind("{\"frame\":0,\"state\":{\"SpinAngle\":0,", 0), 0u);
    EXPECT_EQ(empty.substr(empty.size() - 25), "]},\"sound\":[],\"draw\":[]}\n");

    std::string end;
    AppendEndLine(end, 812, "escape", 1000);
    EXPECT_EQ(end, "{\"frame\":812,\"end\":\"escape\",\"HighScore\":1000}\n");
}

uint32_t Le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

TEST(SimShot, Bmp24IsBottomUpWithWidenedChannels) {
    // 3 pixels wide, so every row needs 3 bytes of padding.
    Surface s("BackBuffer", 3, 2, 0);
    s.At(0, 0) = 0xFFFF;                  // white, top left
    s.At(1, 0) = Rgb565(255, 0, 0);       // red
    s.At(2, 1) = Rgb565(0, 132, 66);      // green 33 of 63, blue 8 of 31
    const std::string b = EncodeBmp24(s);
    ASSERT_EQ(b.size(), 54u + 2 * 12);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), 54u);
    EXPECT_EQ(Le32(b, 18), 3u);
    EXPECT_EQ(Le32(b, 22), 2u);
    EXPECT_EQ(static_cast<uint8_t>(b[28]), 24);
    // Bottom row first: black, black, then (0, 33<<2|33>>4, 8<<3|8>>2) as B, G, R.
    const std::string bottom = b.substr(54, 12);
    EXPECT_EQ(bottom, std::string("\0\0\0\0\0\0", 6) + std::string("\x42\x86\x00", 3) + std::string(3, '\0'));
    const std::string top = b.substr(66, 12);
    EXPECT_EQ(top, std::string("\xFF\xFF\xFF\x00\x00\xFF\x00\x00\x00\x00\x00\x00", 12));
}

}  // namespace
}  // namespace pm::sim

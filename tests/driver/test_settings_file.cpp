// The remembered settings: the file's text both ways, where it lives, and
// that a broken or unreadable file costs a warning and the defaults, never
// the start of the game.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "driver/settings_file.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

TEST(SettingsText, RoundTripsEverySetting) {
    DesktopSettings s;
    s.FullScreen = false;
    s.Scale = 3;
    s.Volume = 0;
    s.Muted = true;
    const SettingsRead back = ParseSettings(FormatSettings(s));
    EXPECT_EQ(back.Values, s);
    EXPECT_EQ(back.Warning, "");
    EXPECT_EQ(ParseSettings(FormatSettings(DesktopSettings{})).Values, DesktopSettings{});
}

TEST(SettingsText, ReadsWhatAPersonMightWrite) {
    // Any case, spaces, comments, CRLF line ends, sections in any order.
    const SettingsRead r = ParseSettings(
        "; mine\r\n[Sound]\r\n  Volume=7  \r\nMUTE = On\r\n\r\n# window next\r\n[ window ]\r\nfullscreen=FALSE\r\nscale = 2");
    EXPECT_EQ(r.Warning, "");
    EXPECT_EQ(r.Values.Volume, 7);
    EXPECT_TRUE(r.Values.Muted);
    EXPECT_FALSE(r.Values.FullScreen);
    EXPECT_EQ(r.Values.Scale, 2);
    EXPECT_EQ(ParseSettings("").Values, DesktopSettings{});
}

TEST(SettingsText, BrokenLinesGiveTheDefaultAndOneLineSayingWhere) {
    const std::map<std::string, std::string> cases = {
        {"[window]\nscale = 9\n", "line 2: bad value \"9\" for scale (1 to 8)"},
        {"[window]\nscale = -1\n", "line 2: bad value \"-1\" for scale (1 to 8)"},
        {"[sound]\nvolume = loud\n", "line 2: bad value \"loud\" for volume (0 to 100)"},
        {"[sound]\nvolume = 4294967397\n", "line 2: bad value \"4294967397\" for volume (0 to 100)"},
        {"[sound]\nmute = maybe\n", "line 2: bad value \"maybe\" for mute (yes or no)"},
        {"[window]\nfullscreen\n", "line 2: expected \"name = value\", found \"fullscreen\""},
        {"volume = 5\n", "line 1: \"volume\" is in no section"},
        {"[sound\nvolume = 5\n", "line 1: a section name needs a closing ]"},
        {"[colours]\nsky = blue\n", "line 1: unknown section [colours]"},
        {"[sound]\nbass = 11\n", "line 2: unknown setting \"bass\" in [sound]"},
        {"[sound]\n\x01\xff\x7f=\x80\n", "line 2: unknown setting \"???\" in [sound]"},
    };
    for (const auto& [text, where] : cases) {
        const SettingsRead r = ParseSettings(text);
        EXPECT_EQ(r.Values, DesktopSettings{}) << text;
        EXPECT_EQ(r.Warning, where + "; using the defaults for what could not be read") << text;
    }

    // The good lines of a partly broken file still count; the first problem
    // is named and the others counted.
    const SettingsRead r = ParseSettings("[window]\nscale = 4\nscale = x\n[sound]\nvolume = 250\nmute = yes\n");
    EXPECT_EQ(r.Values.Scale, 4);
    EXPECT_EQ(r.Values.Volume, 100);
    EXPECT_TRUE(r.Values.Muted);
    EXPECT_EQ(r.Warning,
              "line 3: bad value \"x\" for scale (1 to 8) (and 1 more); using the defaults for what could not be read");

    // A long value is cut short in the message.
    const SettingsRead longValue = ParseSettings("[sound]\nvolume = " + std::string(500, '9') + "\n");
    EXPECT_LT(longValue.Warning.size(), 150u);
}

TEST(SettingsText, LivesInTheConfigFolder) {
    auto env = [](std::map<std::string, const char*> vars) {
        return [vars](const char* name) -> const char* {
            const auto found = vars.find(name);
            return found == vars.end() ? nullptr : found->second;
        };
    };
    EXPECT_EQ(SettingsPath(env({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/p"}})), "/cfg/pellimunch/settings.ini");
    EXPECT_EQ(SettingsPath(env({{"XDG_CONFIG_HOME", "/cfg/"}})), "/cfg/pellimunch/settings.ini");
    // A relative or empty XDG_CONFIG_HOME does not count.
    EXPECT_EQ(SettingsPath(env({{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/p"}})),
              "/home/p/.config/pellimunch/settings.ini");
    EXPECT_EQ(SettingsPath(env({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/p/"}})),
              "/home/p/.config/pellimunch/settings.ini");
    EXPECT_EQ(SettingsPath(env({{"HOME", "relative"}})), "");
    EXPECT_EQ(SettingsPath(env({})), "");
}

class SettingsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "pm-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "pellimunch" / "settings.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_ / "pellimunch", fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    void Put(const std::string& bytes) {
        fs::create_directories(dir_ / "pellimunch");
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    fs::path dir_;
    std::string path_;
};

TEST_F(SettingsFolder, SavesAtomicallyAndReadsBack) {
    // No file yet: the defaults, quietly.
    SettingsRead r = LoadSettings(path_);
    EXPECT_EQ(r.Values, DesktopSettings{});
    EXPECT_EQ(r.Warning, "");

    DesktopSettings s;
    s.Volume = 55;
    s.Scale = 2;
    std::string why;
    ASSERT_TRUE(SaveSettings(path_, s, &why)) << why;   // makes the folder too
    r = LoadSettings(path_);
    EXPECT_EQ(r.Values, s);
    EXPECT_EQ(r.Warning, "");

    // Replaced whole, with nothing left beside it.
    s.Muted = true;
    ASSERT_TRUE(SaveSettings(path_, s, &why)) << why;
    EXPECT_EQ(LoadSettings(path_).Values, s);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "pellimunch")) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "settings.ini");
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::owner_read, fs::perms::owner_read);

    EXPECT_FALSE(SaveSettings("", s, &why));
}

TEST_F(SettingsFolder, BrokenOrUnreadableFilesWarnWithTheFileName) {
    Put("[sound]\nvolume = 12\nmute = perhaps\n");
    SettingsRead r = LoadSettings(path_);
    EXPECT_EQ(r.Values.Volume, 12);
    EXPECT_FALSE(r.Values.Muted);
    EXPECT_EQ(r.Warning, path_ + ": line 3: bad value \"perhaps\" for mute (yes or no); using the defaults for what "
                                 "could not be read");

    Put(std::string(70 * 1024, '#'));
    r = LoadSettings(path_);
    EXPECT_EQ(r.Values, DesktopSettings{});
    EXPECT_EQ(r.Warning, path_ + ": larger than 64 KiB; using the default settings");

    fs::remove(path_);
    fs::create_directories(path_);   // a folder where the file should be
    r = LoadSettings(path_);
    EXPECT_EQ(r.Warning, path_ + ": not a regular file; using the default settings");
    std::string why;
    EXPECT_FALSE(SaveSettings(path_, DesktopSettings{}, &why));
    EXPECT_EQ(why, path_ + ": not a regular file; the game could not read it, so it is left as it is");
    fs::remove(path_);

    if (::geteuid() != 0) {   // root reads anything
        Put("[sound]\nvolume = 3\n");
        fs::permissions(path_, fs::perms::none);
        r = LoadSettings(path_);
        EXPECT_EQ(r.Values, DesktopSettings{});
        EXPECT_EQ(r.Warning, path_ + ": cannot open: Permission denied; using the default settings");
        fs::permissions(dir_ / "pellimunch", fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(path_, fs::perms::owner_read);
        EXPECT_FALSE(SaveSettings(path_, DesktopSettings{}, &why));
        EXPECT_EQ(why.rfind(path_ + ": cannot create a temporary file: ", 0), 0u) << why;
    }
}

// A file the game could not read is the player's, not ours to replace with
// the defaults; one it read, even with broken lines, is saved over.
TEST_F(SettingsFolder, AFileThatCouldNotBeReadIsNeverReplaced) {
    DesktopSettings mine;
    mine.Volume = 9;
    auto keptAsItIs = [&](const std::string& bytes, const char* what) {
        std::string why;
        EXPECT_FALSE(SaveSettings(path_, mine, &why)) << what;
        EXPECT_NE(why.find("so it is left as it is"), std::string::npos) << what << ": " << why;
        std::ifstream in(path_, std::ios::binary);
        std::stringstream back;
        back << in.rdbuf();
        EXPECT_EQ(back.str(), bytes) << what;
    };
    const std::string large = "[sound]\nvolume = 3\n" + std::string(70 * 1024, '#');
    Put(large);
    keptAsItIs(large, "over 64 KiB");

    if (::geteuid() != 0) {   // root reads anything
        const std::string hidden = "[window]\nscale = 4\n";
        Put(hidden);
        fs::permissions(path_, fs::perms::owner_write);   // mode 200
        keptAsItIs(hidden, "write-only");
        fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
    }

    Put("[sound]\nvolume = loud\n");
    std::string why;
    EXPECT_TRUE(SaveSettings(path_, mine, &why)) << why;
    EXPECT_EQ(LoadSettings(path_).Values, mine);
}

TEST_F(SettingsFolder, AByteOrderMarkIsSkipped) {
    Put("\xEF\xBB\xBF[window]\r\nfullscreen = no\r\nscale = 3\r\n");
    const SettingsRead r = LoadSettings(path_);
    EXPECT_EQ(r.Warning, "");
    EXPECT_FALSE(r.Values.FullScreen);
    EXPECT_EQ(r.Values.Scale, 3);
}

}  // namespace
}  // namespace pm

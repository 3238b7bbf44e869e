// Where the data files and score.dat are looked for: a build folder keeps
// everything beside the executable, an installed game reads its data from
// <prefix>/share/pellimunch and keeps the score in the player's data folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "platform/score_path.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

// A made-up machine: the folders that exist, those the player may write,
// and the environment.
struct FakeMachine {
    std::set<std::string> Dirs, Writable;
    std::map<std::string, std::string> Env;
    std::string AccountHome;   // from the password database

    PathProbe Probe() const {
        PathProbe p;
        p.IsDirectory = [this](const std::string& d) { return Dirs.count(Strip(d)) > 0; };
        p.IsWritableDirectory = [this](const std::string& d) {
            return Dirs.count(Strip(d)) > 0 && Writable.count(Strip(d)) > 0;
        };
        p.GetEnv = [this](const char* name) -> const char* {
            auto it = Env.find(name);
            return it == Env.end() ? nullptr : it->second.c_str();
        };
        p.AccountHome = [this] { return AccountHome; };
        return p;
    }
    static std::string Strip(std::string d) {
        while (d.size() > 1 && d.back() == '/') d.pop_back();
        return d;
    }
};

TEST(HardeningPaths, BuildFolderKeepsDataAndScoreBesideTheProgram) {
    FakeMachine m;
    m.Dirs = {"/home/ann/game", "/home/ann/game/bmp"};
    m.Writable = {"/home/ann/game"};
    m.Env = {{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/home/ann/data"}};
    // With or without the trailing separator.
    for (const std::string exe : {"/home/ann/game", "/home/ann/game/"}) {
        EXPECT_EQ(DataFolder(exe, m.Probe()), "/home/ann/game/");
        EXPECT_EQ(ScoreFilePath(exe, m.Probe()), "/home/ann/game/score.dat");
    }
}

TEST(HardeningPaths, InstalledGameReadsShareAndKeepsScoreInTheDataHome) {
    FakeMachine m;
    m.Dirs = {"/usr/bin", "/usr/share/pellimunch", "/usr/share/pellimunch/bmp"};
    m.Env = {{"HOME", "/home/ann"}};
    EXPECT_EQ(DataFolder("/usr/bin", m.Probe()), "/usr/share/pellimunch/");
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/home/ann/.local/share/pellimunch/score.dat");

    m.Env["XDG_DATA_HOME"] = "/home/ann/my data/";
    EXPECT_EQ(ScoreFilePath("/usr/bin/", m.Probe()), "/home/ann/my data/pellimunch/score.dat");

    // A relative or empty XDG_DATA_HOME does not count.
    m.Env["XDG_DATA_HOME"] = "rel/data";
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/home/ann/.local/share/pellimunch/score.dat");
    m.Env["XDG_DATA_HOME"] = "";
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/home/ann/.local/share/pellimunch/score.dat");
}

TEST(HardeningPaths, WritableInstallFolderStillUsesTheDataHome) {
    // Installed into the player's own prefix (~/.local/bin is writable), or
    // run by root: the bin folder is not the game's home, its data is not there.
    FakeMachine m;
    m.Dirs = {"/home/ann/.local/bin", "/home/ann/.local/share/pellimunch", "/home/ann/.local/share/pellimunch/bmp"};
    m.Writable = {"/home/ann/.local/bin"};
    m.Env = {{"HOME", "/home/ann"}};
    EXPECT_EQ(DataFolder("/home/ann/.local/bin", m.Probe()), "/home/ann/.local/share/pellimunch/");
    EXPECT_EQ(ScoreFilePath("/home/ann/.local/bin", m.Probe()), "/home/ann/.local/share/pellimunch/score.dat");
}

TEST(HardeningPaths, ReadOnlyFolderWithItsOwnDataUsesTheDataHome) {
    // A game unpacked on a read-only medium.
    FakeMachine m;
    m.Dirs = {"/media/cd/game", "/media/cd/game/bmp"};
    m.Env = {{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/home/ann/d"}};
    EXPECT_EQ(DataFolder("/media/cd/game", m.Probe()), "/media/cd/game/");
    EXPECT_EQ(ScoreFilePath("/media/cd/game", m.Probe()), "/home/ann/d/pellimunch/score.dat");
}

TEST(HardeningPaths, NoDataAnywhereNamesTheProgramFolder) {
    FakeMachine m;
    m.Dirs = {"/opt/x"};
    m.Writable = {"/opt/x"};
    EXPECT_EQ(DataFolder("/opt/x", m.Probe()), "/opt/x/");
    // No home either: the file beside the program, where a failed save is
    // reported rather than written somewhere surprising.
    EXPECT_EQ(ScoreFilePath("/opt/x", m.Probe()), "/opt/x/score.dat");
    m.Env = {{"HOME", ""}};
    EXPECT_EQ(ScoreFilePath("/opt/x", m.Probe()), "/opt/x/score.dat");
}

// Started without HOME (a service, a stripped environment): the account's
// home from the password database, never the program's own folder.
TEST(HardeningPaths, WithoutHomeTheAccountsHomeFolderIsUsed) {
    FakeMachine m;
    m.Dirs = {"/usr/bin", "/usr/share/pellimunch", "/usr/share/pellimunch/bmp"};
    m.Writable = {"/usr/bin"};
    m.AccountHome = "/home/ann";
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/home/ann/.local/share/pellimunch/score.dat");
    m.Env = {{"HOME", ""}};
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/home/ann/.local/share/pellimunch/score.dat");
    // The environment still comes first.
    m.Env = {{"HOME", "/home/other"}};
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/home/other/.local/share/pellimunch/score.dat");
    // No account home either: beside the program, where a failed save says so.
    m.Env.clear();
    m.AccountHome = "";
    EXPECT_EQ(ScoreFilePath("/usr/bin", m.Probe()), "/usr/bin/score.dat");

    // The real probe finds this account's home folder.
    const std::string home = SystemProbe().AccountHome();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home[0], '/');
}

TEST(HardeningPaths, SystemProbeOnRealFolders) {
    std::string tmpl = (fs::temp_directory_path() / "pm-paths-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const fs::path root = tmpl;
    fs::create_directories(root / "prefix/bin");
    fs::create_directories(root / "prefix/share/pellimunch/bmp");
    fs::create_directories(root / "build/bmp");

    EXPECT_EQ(DataFolder((root / "build").string()), (root / "build").string() + "/");
    EXPECT_EQ(DataFolder((root / "prefix/bin").string()), (root / "prefix/share/pellimunch").string() + "/");
    EXPECT_EQ(ScoreFilePath((root / "build").string()), (root / "build/score.dat").string());

    // MakeFolderFor creates every missing level, private to the player, and
    // accepts folders that are already there.
    const std::string file = (root / "home/a/b/pellimunch/score.dat").string();
    std::string why;
    ASSERT_TRUE(MakeFolderFor(file, &why)) << why;
    EXPECT_TRUE(fs::is_directory(root / "home/a/b/pellimunch"));
    struct stat st {};
    ASSERT_EQ(::stat((root / "home/a/b/pellimunch").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(MakeFolderFor(file, &why)) << why;

    // A file in the way is a failure with a reason, not a crash.
    { FILE* f = std::fopen((root / "blocker").c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    why.clear();
    EXPECT_FALSE(MakeFolderFor((root / "blocker/pellimunch/score.dat").string(), &why));
    EXPECT_NE(why.find("blocker"), std::string::npos) << why;

    fs::remove_all(root);
}

}  // namespace
}  // namespace pm

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/session.h"
#include "harness.h"
#include "platform/score_file.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class ScoreFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "pm-score-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "score.dat").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    void Put(const std::string& bytes) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    std::string Bytes() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir_;
    std::string path_;
};

TEST(ScoreText, FormatIsNumberTextSpaceCrLf) {
    EXPECT_EQ(FormatScoreText(1000), std::string("\x20\x31\x30\x30\x30\x20\x0D\x0A"));
    EXPECT_EQ(FormatScoreText(0), " 0 \r\n");
    EXPECT_EQ(FormatScoreText(-42), "-42 \r\n");
    EXPECT_EQ(FormatScoreText(2147483647), " 2147483647 \r\n");
}

TEST(ScoreText, ParseFollowsTheLineReadingRules) {
    EXPECT_EQ(ParseScoreText(" 1000 \r\n"), 1000);
    EXPECT_EQ(ParseScoreText("1234"), 1234);               // no line end at all
    EXPECT_EQ(ParseScoreText("   77,5\r\n"), 77);           // a comma ends the number
    EXPECT_EQ(ParseScoreText("88 99\r\n"), 88);             // so does a space
    EXPECT_EQ(ParseScoreText("\t12\n"), 12);
    EXPECT_EQ(ParseScoreText("-42 \r\n"), -42);             // negative read as it is
    EXPECT_EQ(ParseScoreText("+7"), 7);
    EXPECT_EQ(ParseScoreText("007"), 7);
    EXPECT_EQ(ParseScoreText("2147483647"), 2147483647);
    EXPECT_EQ(ParseScoreText("-2147483648"), INT32_MIN);
    // Beyond 32 bits: held at the limit, so a huge record is never lowered.
    EXPECT_EQ(ParseScoreText("2147483648"), 2147483647);
    EXPECT_EQ(ParseScoreText(" 99999999999999999999999 \r\n"), 2147483647);
    EXPECT_EQ(ParseScoreText("-2147483649"), INT32_MIN);
    // Only the first line counts.
    EXPECT_EQ(ParseScoreText(" 5 \r\n 6 \r\n"), 5);
}

TEST(ScoreText, ParseRejectsWhatIsNoNumber) {
    for (const char* bad : {"", "   ", " \r\n", "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\nabc", "abc", "12abc", "1.5", "-", "+ 3",
                            "\xBB\xBF" "100", "99999999999999999999999x"})
        EXPECT_FALSE(ParseScoreText(bad).has_value()) << '"' << bad << '"';
}

TEST_F(ScoreFolder, WrittenFileIsByteExactAndReadsBack) {
    for (int32_t v : {1000, 0, 12345, -7, 2147483647}) {
        std::string why;
        ASSERT_TRUE(WriteScoreFile(path_, v, &why)) << why;
        EXPECT_EQ(Bytes(), FormatScoreText(v));
        const RecordRead r = ReadScoreFile(path_);
        EXPECT_EQ(r.Status, RecordStatus::Ok);
        EXPECT_EQ(r.Value, v);
    }
    // Nothing but the file is left in the folder: the temporary is gone.
    EXPECT_EQ(Entries(), std::vector<std::string>{"score.dat"});
}

TEST_F(ScoreFolder, ReadCases) {
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Missing);

    Put("");
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Invalid);
    Put("     ");
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Invalid);
    Put("garbage\r\n");
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Invalid);
    Put(" 99999999999 \r\n");
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Ok);
    EXPECT_EQ(ReadScoreFile(path_).Value, 2147483647);
    Put("-250 \r\n");
    EXPECT_EQ(ReadScoreFile(path_).Value, -250);

    // A very long file is no problem: only its start is read.
    Put(" 4321 \r\n" + std::string(100000, 'x'));
    EXPECT_EQ(ReadScoreFile(path_).Value, 4321);

    fs::remove(path_);
    fs::create_directory(path_);
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Missing);
}

TEST_F(ScoreFolder, ReadOnlyFileIsLeftAlone) {
    Put(" 5000 \r\n");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string why;
    EXPECT_FALSE(WriteScoreFile(path_, 9000, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(Bytes(), " 5000 \r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"score.dat"});
}

TEST_F(ScoreFolder, DirectoryOfThatNameFailsCleanly) {
    fs::create_directory(path_);
    EXPECT_FALSE(WriteScoreFile(path_, 9000));
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_EQ(Entries(), std::vector<std::string>{"score.dat"});
}

TEST_F(ScoreFolder, MissingFolderFails) {
    EXPECT_FALSE(WriteScoreFile((dir_ / "nope" / "score.dat").string(), 1));
}

TEST_F(ScoreFolder, ReplacedFileKeepsItsPermissions) {
    Put(" 1 \r\n");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteScoreFile(path_, 2));
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The game's own load and save, through the host, into score.dat; a
// session drives it as every driver does.
struct FileGame {
    HeadlessHost host;
    ScoreFileRecord record;
    Session session{host, nullptr};
    FormMain& form = session.Game();
    explicit FileGame(const std::string& path) : record(path) { host.UseRecords(&record); }
    void Start() { session.Start(1); }
    // One tick of the session with these keys held: true while the game goes on.
    bool Tick(std::initializer_list<uint8_t> keys = {}) {
        host.Keys = {};
        for (uint8_t k : keys) host.Keys[k] = 128;
        return session.Run() == Session::Tick::Played;
    }
};

TEST_F(ScoreFolder, QuitFromTheFirstTitleWritesTheDefault) {
    FileGame g(path_);
    g.Start();
    EXPECT_EQ(g.form.HighScore, 1000);
    EXPECT_FALSE(g.Tick({Key::Escape}));
    EXPECT_EQ(Bytes(), " 1000 \r\n");
    EXPECT_TRUE(g.host.SaveErrors.empty());
}

TEST_F(ScoreFolder, SavedValueIsTheOneReachedAndLoadsNextTime) {
    Put(" 31337 \r\n");
    {
        FileGame g(path_);
        g.Start();
        EXPECT_EQ(g.form.HighScore, 31337);
        g.form.HighScore = 40000;
        g.host.MousePressed = true;
        EXPECT_FALSE(g.Tick());
    }
    EXPECT_EQ(Bytes(), " 40000 \r\n");
    FileGame again(path_);
    again.Start();
    EXPECT_EQ(again.form.HighScore, 40000);
}

TEST_F(ScoreFolder, BrokenFileWarnsAndStartsFromTheDefault) {
    Put("not a score");
    FileGame g(path_);
    ::testing::internal::CaptureStderr();
    g.Start();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(g.form.HighScore, 1000);
    EXPECT_NE(err.find(path_), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST_F(ScoreFolder, ReadOnlyFileTakesTheErrorPathOnce) {
    Put(" 5000 \r\n");
    fs::permissions(path_, fs::perms::owner_read);
    FileGame g(path_);
    g.Start();
    EXPECT_EQ(g.form.HighScore, 5000);   // the game starts normally
    g.form.HighScore = 6000;
    ::testing::internal::CaptureStderr();
    g.form.Form_Unload();
    g.form.Form_Unload();                // a second unload does nothing
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(g.host.SaveErrors.size(), 1u);
    // The game's words, then the reason in plain ones, as on stderr.
    EXPECT_EQ(g.host.SaveErrors[0],
              "終了時、書き込みエラー\n"
              "score.datに対して正しい書き込みが行えませんでした。\r\n"
              "書き込み禁止属性が掛かっている場合は解除してください。\r\n\r\n" +
                  path_ + ": the file is read-only");
    EXPECT_EQ(Bytes(), " 5000 \r\n");
}

// A file that exists but could not be read may hold a record the game never
// saw: it is never written over. (The read failure itself needs a user other
// than root; the hardening scripts cover it. Here a store whose load failed.)
class UnreadScoreFile : public ScoreFileRecord {
public:
    using ScoreFileRecord::ScoreFileRecord;
    RecordRead Load() override {
        ScoreFileRecord::Load();
        unreadable_ = true;
        return RecordRead{RecordStatus::Unreadable, 0, Path() + ": cannot open: Permission denied"};
    }
};

TEST_F(ScoreFolder, UnreadFileIsNeverReplaced) {
    Put(" 4321 \r\n");
    for (int32_t record : {1000, 2500}) {
        HeadlessHost host;
        UnreadScoreFile file(path_);
        host.UseRecords(&file);
        FormMain form(host);
        ::testing::internal::CaptureStderr();
        form.Form_Load(1);
        EXPECT_EQ(form.HighScore, 1000);
        form.HighScore = record;
        form.Form_Unload();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("the file is left as it is"), std::string::npos);
        if (record == 1000) {
            EXPECT_TRUE(host.SaveErrors.empty());   // nothing new: silently left alone
        } else {
            // A record the player would lose: said, and still not written.
            EXPECT_NE(err.find("not replaced"), std::string::npos);
            EXPECT_EQ(host.SaveErrors.size(), 1u);
        }
        EXPECT_EQ(Bytes(), " 4321 \r\n");
    }
}

// Two copies of the game playing from the same folder: each read the file at
// its start, and the one that quits last must not lower what the other saved.
TEST_F(ScoreFolder, TwoCopiesNeverLowerTheRecord) {
    Put(" 100 \r\n");
    FileGame first(path_), second(path_);
    first.Start();
    second.Start();
    second.form.HighScore = 4026;
    second.form.Form_Unload();
    EXPECT_EQ(Bytes(), " 4026 \r\n");
    first.form.HighScore = 2012;   // a record of its own, but lower
    first.form.Form_Unload();
    EXPECT_EQ(Bytes(), " 4026 \r\n");
    EXPECT_TRUE(first.host.SaveErrors.empty());

    // A higher one still wins, whoever saves last.
    FileGame third(path_);
    third.Start();
    third.form.HighScore = 5000;
    third.form.Form_Unload();
    EXPECT_EQ(Bytes(), " 5000 \r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"score.dat"});
}

TEST_F(ScoreFolder, KeepingTheHigherRecord) {
    RecordSave s = SaveRecordKeepingHigher(path_, 300);   // no file yet
    EXPECT_TRUE(s.Ok);
    EXPECT_EQ(s.Saved, 300);
    EXPECT_EQ(Bytes(), " 300 \r\n");
    s = SaveRecordKeepingHigher(path_, 200);
    EXPECT_EQ(s.Saved, 300);
    EXPECT_EQ(Bytes(), " 300 \r\n");
    Put("garbage");                                      // nothing to keep there
    s = SaveRecordKeepingHigher(path_, 200);
    EXPECT_EQ(s.Saved, 200);
    EXPECT_EQ(Bytes(), " 200 \r\n");
    Put("-50");
    EXPECT_EQ(SaveRecordKeepingHigher(path_, -70).Saved, -50);

    // A folder that is not there yet is made, and one that cannot be made
    // is named.
    const std::string deep = (dir_ / "a" / "b" / "score.dat").string();
    EXPECT_TRUE(SaveRecordKeepingHigher(deep, 7).Ok);
    EXPECT_TRUE(fs::is_regular_file(deep));
    Put("x");
    s = SaveRecordKeepingHigher(path_ + "/pellimunch/score.dat", 7);
    EXPECT_FALSE(s.Ok);
    EXPECT_EQ(s.Reason, "cannot create the folder " + path_ + "/pellimunch: Not a directory");
}

// Other copies of the game wait for the lock on the folder; the save never
// proceeds while another holds it.
TEST_F(ScoreFolder, SaveWaitsForTheFolderLock) {
    const int held = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::atomic<bool> done{false};
    std::thread saver([&] {
        SaveRecordKeepingHigher(path_, 123);
        done = true;
    });
    // However long we look, nothing is written while the lock is held.
    for (int i = 0; i < 20 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(done);
    EXPECT_FALSE(fs::exists(path_));
    Put(" 999 \r\n");   // another copy's save, made while it holds the lock
    ::close(held);
    saver.join();
    EXPECT_EQ(Bytes(), " 999 \r\n");
}

// A save killed between making its temporary file and the rename leaves
// ".score.dat.XXXXXX"; the next save removes such leftovers, and only those:
// of that name and pattern, regular files of ours, a minute old at least.
TEST_F(ScoreFolder, StaleTemporariesOfAKilledSaveGoAtTheNextSave) {
    const auto put = [&](const std::string& name, int ageSeconds) {
        std::ofstream(dir_ / name) << " 17 ";
        const auto when = fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds);
        fs::last_write_time(dir_ / name, when);
    };
    put(".score.dat.Ab3dE9", 3600);     // a killed save's
    put(".score.dat.zzzzzz", 61);
    put(".score.dat.Qq7Rr8", 5);        // perhaps a save still writing
    put(".score.dat.bak123x", 3600);    // not the pattern
    put(".score.dat.ab-123", 3600);
    put(".other.dat.Ab3dE9", 3600);     // another file's
    put("score.dat.Ab3dE9", 3600);
    fs::create_directory(dir_ / ".score.dat.Dir123");
    fs::create_symlink(dir_ / "other.dat", dir_ / ".score.dat.Lnk123");
    fs::last_write_time(dir_ / ".score.dat.Dir123", fs::file_time_type::clock::now() - std::chrono::hours(1));

    ASSERT_TRUE(SaveRecordKeepingHigher(path_, 5).Ok);
    std::vector<std::string> left = Entries();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".other.dat.Ab3dE9", ".score.dat.Dir123", ".score.dat.Lnk123",
                                              ".score.dat.Qq7Rr8", ".score.dat.ab-123", ".score.dat.bak123x",
                                              "score.dat", "score.dat.Ab3dE9"}));
}

TEST_F(ScoreFolder, NamedPipeInPlaceOfTheFileIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    EXPECT_EQ(ReadScoreFile(path_).Status, RecordStatus::Missing);
    const RecordSave s = SaveRecordKeepingHigher(path_, 5);
    EXPECT_FALSE(s.Ok);
    EXPECT_EQ(s.Reason, "not a regular file");
}

// A record is written as soon as the game over hands back to the title, so
// a program that never reaches its shutdown keeps it; nothing is written
// while the game over is still counting. The game itself never sees the
// save: a twin run that does not save goes frame for frame alike, even when
// the file holds a higher record from another copy.
TEST_F(ScoreFolder, NewRecordIsSavedWhenTheGameOverEnds) {
    Put(" 20 \r\n");
    const std::string twinPath = (dir_ / "twin.dat").string();
    std::ofstream(twinPath, std::ios::binary) << " 20 \r\n";
    FileGame g(path_), twin(twinPath);
    for (FileGame* game : {&g, &twin}) {
        game->Start();
        EXPECT_TRUE(game->Tick({Key::LShift}));
        EXPECT_TRUE(game->Tick());
        game->form.Score = 30;   // as if eaten
        EXPECT_TRUE(game->Tick({Key::Delete}));
        EXPECT_EQ(game->form.GameState, State::GameOver);
    }
    int frames = 0;
    while (g.form.GameState == State::GameOver && frames < 1000) {
        EXPECT_EQ(Bytes(), " 20 \r\n") << "saved while the game over still runs";
        if (g.form.HighScore == 30) Put(" 25 \r\n");   // meanwhile another copy saved a lower record
        EXPECT_TRUE(g.Tick());
        EXPECT_TRUE(twin.Tick());
        ++frames;
    }
    ASSERT_EQ(g.form.GameState, State::Title);
    EXPECT_EQ(g.form.HighScore, 30);
    EXPECT_EQ(Bytes(), " 30 \r\n");
    Put(" 900 \r\n");   // and then a higher one: nothing new here, not written again
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(g.Tick());
        EXPECT_TRUE(twin.Tick());
    }
    EXPECT_EQ(Bytes(), " 900 \r\n");
    EXPECT_EQ(g.form.HighScore, twin.form.HighScore);
    EXPECT_EQ(g.form.Rng.State, twin.form.Rng.State);
    EXPECT_EQ(g.form.BackBuffer.Pixels, twin.form.BackBuffer.Pixels);
    g.session.Finish();
    EXPECT_EQ(Bytes(), " 900 \r\n");
}

// A save that fails after a game over stays silent; the shutdown's save
// reports it once, as before.
TEST_F(ScoreFolder, FailedEarlySaveIsReportedOnceAtShutdown) {
    Put(" 20 \r\n");
    fs::permissions(path_, fs::perms::owner_read);
    FileGame g(path_);
    g.Start();
    g.form.HighScore = 40;   // as the game over leaves it
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(g.Tick());
    EXPECT_TRUE(g.Tick());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(g.host.SaveErrors.empty());
    ::testing::internal::CaptureStderr();
    g.session.Finish();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(g.host.SaveErrors.size(), 1u);
    EXPECT_EQ(Bytes(), " 20 \r\n");
}

// A host whose display cannot start: the shutdown runs, but the record was
// never read, so the file must not be touched.
class BrokenDisplayHost : public HeadlessHost {
public:
    using HeadlessHost::HeadlessHost;
    Surface LoadBitmap(const BitmapFile& entry) override {
        throw StartupError(std::string(entry.File) + ": no such file");
    }
};

TEST_F(ScoreFolder, FailedStartUpNeverWritesTheFile) {
    Put(" 77777 \r\n");
    BrokenDisplayHost host;
    ScoreFileRecord file(path_);
    host.UseRecords(&file);
    FormMain form(host);
    EXPECT_THROW(form.Form_Load(1), StartupError);
    EXPECT_TRUE(form.Unloaded);
    EXPECT_EQ(Bytes(), " 77777 \r\n");

    fs::remove(path_);
    BrokenDisplayHost host2;
    host2.UseRecords(&file);
    FormMain form2(host2);
    EXPECT_THROW(form2.Form_Load(1), StartupError);
    EXPECT_FALSE(fs::exists(path_));
}

TEST(ScoreFileless, EmptyPathMeansNoFile) {
    test::Game g;
    EXPECT_EQ(g.form.HighScore, 1000);
    g.form.Form_Unload();
    EXPECT_TRUE(g.host.SaveErrors.empty());
}

}  // namespace
}  // namespace pm

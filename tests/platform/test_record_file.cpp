// score.dat as editors and other programs leave it: a byte order mark and
// blank lines before the number still give the record; a file that holds no
// number is set aside beside it (the newest kept) and never written over;
// the copy beside the program is read too when the record lives elsewhere.
// And the file layer's reading refuses what is no regular file without
// waiting on it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/files/files.h"
#include "platform/notice_overlay.h"
#include "platform/score_file.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

class RecordFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "pm-record-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "score.dat").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    std::string path_;
};

TEST(RecordText, MarkAndBlankLinesBeforeTheNumber) {
    EXPECT_EQ(ParseScoreText("\xEF\xBB\xBF\x20\x35\x30\x30\x30\x20\x0D\x0A"), 5000);
    EXPECT_EQ(ParseScoreText("\r\n 7000\r\n"), 7000);
    EXPECT_EQ(ParseScoreText("\xEF\xBB\xBF\n\n\t-3\n"), -3);
    EXPECT_EQ(ParseScoreText("\xEF\xBB\xBF" "100"), 100);
    // Only at the very start: a mark after a space is text.
    EXPECT_FALSE(ParseScoreText(" \xEF\xBB\xBF" "100").has_value());
}

TEST_F(RecordFolder, NoNumberIsSetAsideAndNeverWrittenOver) {
    Put(path_, "my best was 9000\r\n");
    Put(path_ + ".unreadable", "an older one\r\n");
    ScoreFileRecord store(path_);
    const RecordRead read = store.Load();
    EXPECT_EQ(read.Status, RecordStatus::Invalid);
    EXPECT_NE(read.Reason.find("it is kept as " + path_ + ".unreadable"), std::string::npos) << read.Reason;
    EXPECT_EQ(store.Notice(), "score.dat held no score: it is kept as score.dat.unreadable");
    // The newest kept; the record starts as for no file, and its save makes one.
    EXPECT_EQ(Bytes(path_ + ".unreadable"), "my best was 9000\r\n");
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(store.Save(1500).Ok);
    EXPECT_EQ(Bytes(path_), " 1500 \r\n");
    EXPECT_EQ(ScoreFileRecord(path_).Load().Status, RecordStatus::Ok);

    // Something without a number written there during the session is set
    // aside by the save too.
    Put(path_, "oops");
    EXPECT_TRUE(SaveRecordKeepingHigher(path_, 2000).Ok);
    EXPECT_EQ(Bytes(path_ + ".unreadable"), "oops");
    EXPECT_EQ(Bytes(path_), " 2000 \r\n");

    // An empty file holds nothing to keep: it is replaced, without a notice.
    Put(path_, "");
    ScoreFileRecord empty(path_);
    EXPECT_EQ(empty.Load().Status, RecordStatus::Invalid);
    EXPECT_TRUE(empty.Notice().empty());
    EXPECT_EQ(Bytes(path_ + ".unreadable"), "oops");
}

TEST_F(RecordFolder, TheCopyBesideTheProgramCountsWhenHigher) {
    const std::string beside = (dir_ / "beside.dat").string();
    Put(beside, " 5000 \r\n");
    ScoreFileRecord fresh(path_, beside);
    RecordRead read = fresh.Load();
    EXPECT_EQ(read.Status, RecordStatus::Ok);
    EXPECT_EQ(read.Value, 5000);
    Put(path_, " 7000 \r\n");
    EXPECT_EQ(ScoreFileRecord(path_, beside).Load().Value, 7000);
    Put(path_, " 3000 \r\n");
    EXPECT_EQ(ScoreFileRecord(path_, beside).Load().Value, 5000);
    // Saved to the record's own place only; the copy is never written.
    ScoreFileRecord store(path_, beside);
    store.Load();
    EXPECT_TRUE(store.Save(5000).Ok);
    EXPECT_EQ(Bytes(path_), " 5000 \r\n");
    EXPECT_EQ(Bytes(beside), " 5000 \r\n");
}

TEST_F(RecordFolder, ReadingRefusesWhatIsNoFileWithoutWaiting) {
    const std::string pipe = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    FileRead read = ReadRegularFile(pipe, 100);
    EXPECT_EQ(read.Status, FileRead::Result::NotRegular);
    EXPECT_EQ(NotAFileText(read.Kind), "is a named pipe, not a file");
    EXPECT_EQ(NotAFileText(ReadRegularFile(dir_.string(), 100).Kind), "is a directory, not a file");
    EXPECT_EQ(ReadRegularFile((dir_ / "none").string(), 100).Status, FileRead::Result::Missing);

    Put(path_, std::string(101, 'x'));
    read = ReadRegularFile(path_, 100);
    EXPECT_EQ(read.Status, FileRead::Result::TooLarge);
    EXPECT_EQ(read.Size, 101u);
    read = ReadRegularFile(path_, 100, true);
    EXPECT_EQ(read.Status, FileRead::Result::Ok);
    EXPECT_EQ(read.Bytes.size(), 100u);

    // A command line's stream is read, up to its bound.
    EXPECT_EQ(ReadNamedFile("/dev/zero", 1000).Status, FileRead::Result::TooLarge);
    EXPECT_EQ(ReadNamedFile("/dev/null", 1000).Status, FileRead::Result::Ok);
}

// The notice darkens its band on the copy it is given, for as many frames
// as asked, and then no more.
TEST(RecordNotice, ShowsForItsFramesThenGoes) {
    TimedNotice notice;
    const Surface frame("frame", 800, 600, 0xFFFF);
    notice.Show("score.dat held no score", 2);
    for (int shown = 0; shown < 2; ++shown) {
        ASSERT_TRUE(notice.Active());
        Surface copy = frame;
        notice.DrawOn(copy, nullptr);
        EXPECT_NE(copy.At(400, NoticeBandTop), 0xFFFF);
        EXPECT_EQ(copy.At(400, NoticeBandTop - 1), 0xFFFF);
        EXPECT_EQ(copy.At(400, NoticeBandBottom), 0xFFFF);
    }
    EXPECT_FALSE(notice.Active());
    Surface copy = frame;
    notice.DrawOn(copy, nullptr);
    EXPECT_EQ(copy.Pixels, frame.Pixels);
}

}  // namespace
}  // namespace pm

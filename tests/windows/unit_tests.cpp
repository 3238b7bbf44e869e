// pellimunch-wintests.exe: the Windows pieces that the end-to-end run cannot
// reach case by case, run under Wine by tests/windows/run.sh. Files in a
// folder with a Japanese name: the atomic replace, the refusals, the lock
// under many writers, the record's place; the key messages and the pads.
#include <windows.h>
#include <xinput.h>
#undef ReplaceFile

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "machine/key_codes.h"
#include "platform/files/files.h"
#include "platform/score_file.h"
#include "platform/score_path.h"
#include "hosts/win32/input_map.h"
#include "platform/files/windows_text.h"

namespace {

int failures = 0;
int checks = 0;

void Check(bool ok, const std::string& what) {
    ++checks;
    if (ok) return;
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
}

std::string Slurp(const std::string& path) {
    std::ifstream in(std::filesystem::path(pm::win32::Wide(path)), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW(pm::win32::Wide(folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = pm::win32::Narrow(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

void Files(const std::string& root) {
    const std::string file = root + "\\score.dat";
    std::string why;
    // New, then replaced: the bytes exactly (CR LF kept), no temporary left.
    Check(pm::ReplaceFile(file, " 1000 \r\n", &why), "a new file is written: " + why);
    Check(Slurp(file) == " 1000 \r\n", "the new file holds the bytes given");
    Check(pm::ReplaceFile(file, " 2500 \r\n", &why), "an existing file is replaced: " + why);
    Check(Slurp(file) == " 2500 \r\n", "the replaced file holds the new bytes");
    Check(Listing(root) == std::vector<std::string>{"score.dat"}, "nothing but score.dat is left in the folder");
    // A saver's temporary left behind: the cleaner takes it once it is old
    // enough, and nothing of another file's or the record itself.
    for (const char* name : {".score.dat.77-1-1.tmp", ".other.dat.77-1-1.tmp", "score.dat.77-1-1.tmp"}) {
        const HANDLE h = CreateFileW(pm::win32::Wide(root + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN, nullptr);
        CloseHandle(h);
    }
    Check(pm::RemoveStaleTemporaries(file) == 0, "a fresh temporary is left to its saver");
    Check(pm::RemoveStaleTemporaries(file, 0) == 1, "a stale temporary of the record is removed");
    std::vector<std::string> left = Listing(root);
    std::sort(left.begin(), left.end());
    Check(left == std::vector<std::string>{".other.dat.77-1-1.tmp", "score.dat", "score.dat.77-1-1.tmp"},
          "only the record's own temporary was removed");
    DeleteFileW(pm::win32::Wide(root + "\\.other.dat.77-1-1.tmp").c_str());
    DeleteFileW(pm::win32::Wide(root + "\\score.dat.77-1-1.tmp").c_str());
    const pm::RecordRead read = pm::ReadScoreFile(file);
    Check(read.Status == pm::RecordStatus::Ok && read.Value == 2500, "the record reads back through a Japanese path");

    // The player's read-only mark is kept, and the file with it.
    SetFileAttributesW(pm::win32::Wide(file).c_str(), FILE_ATTRIBUTE_READONLY);
    Check(!pm::ReplaceFile(file, "x", &why) && why.find("read-only") != std::string::npos,
          "a read-only file is refused: " + why);
    Check(Slurp(file) == " 2500 \r\n", "a refused file is as it was");
    SetFileAttributesW(pm::win32::Wide(file).c_str(), FILE_ATTRIBUTE_NORMAL);
    CreateDirectoryW(pm::win32::Wide(root + "\\folder.dat").c_str(), nullptr);
    Check(!pm::ReplaceFile(root + "\\folder.dat", "x", &why), "a folder is not replaced by a file");

    // Many copies saving at once: the highest record wins, none is lost.
    const std::string shared = root + "\\deep\\er\\score.dat";
    std::vector<std::thread> savers;
    for (int32_t i = 1; i <= 8; ++i)
        savers.emplace_back([&shared, i] { pm::SaveRecordKeepingHigher(shared, i * 100); });
    for (std::thread& t : savers) t.join();
    Check(Slurp(shared) == " 800 \r\n", "eight savers at once leave the highest record: " + Slurp(shared));
    const pm::RecordSave lower = pm::SaveRecordKeepingHigher(shared, 5);
    Check(lower.Ok && lower.Saved == 800, "a lower record does not replace a higher one on file");
    Check(Listing(root + "\\deep\\er") == std::vector<std::string>{"score.dat"},
          "the savers' lock file went with the last of them");

    // Saved by Notepad: the mark and a blank line are no obstacle; a file
    // with no number is kept beside, never written over.
    const std::string edited = root + "\\edited\\score.dat";
    pm::MakeFolderFor(edited);
    pm::ReplaceFile(edited, "\xEF\xBB\xBF\r\n 5000 \r\n");
    Check(pm::ScoreFileRecord(edited).Load().Value == 5000, "a byte order mark and a blank line are skipped");
    pm::ReplaceFile(edited, "five thousand\r\n");
    pm::ScoreFileRecord noNumber(edited);
    Check(noNumber.Load().Status == pm::RecordStatus::Invalid && !noNumber.Notice().empty() &&
              Slurp(edited + ".unreadable") == "five thousand\r\n",
          "a file with no number is set aside as score.dat.unreadable, with a notice");
    Check(pm::ReadRegularFile(root, 100).Status == pm::FileRead::Result::NotRegular, "a folder is no file to read");

    // The record's place.
    pm::PathProbe probe;
    bool writable = true;
    probe.IsDirectory = [](const std::string&) { return true; };
    probe.IsWritableDirectory = [&writable](const std::string&) { return writable; };
    probe.GetEnv = [](const char* name) -> const char* {
        return std::string(name) == "APPDATA" ? "C:\\Users\\\xe5\xb1\xb1\xe7\x94\xb0\\AppData\\Roaming" : nullptr;
    };
    Check(pm::ScoreFilePath("D:\\Games\\Pellimunch\\", probe) == "D:\\Games\\Pellimunch\\score.dat",
          "a writable game folder keeps the record beside the game");
    writable = false;
    Check(pm::ScoreFilePath("C:\\Program Files\\Pellimunch", probe) ==
              "C:\\Users\\\xe5\xb1\xb1\xe7\x94\xb0\\AppData\\Roaming\\Pellimunch\\score.dat",
          "a read-only game folder sends the record to %APPDATA%\\Pellimunch");
    Check(!pm::SystemProbe().IsWritableDirectory(root + "\\missing"), "a missing folder is not writable");
    Check(pm::SystemProbe().IsWritableDirectory(root), "the test's own folder is writable");
    Check(pm::FolderOf("C:\\score.dat") == "C:\\" && pm::FolderOf("a/b\\c.dat") == "a/b" && pm::FolderOf("c.dat") == ".",
          "the folder of a path, with either separator and at a drive's root");
}

uint32_t KeyMessage(uint32_t scan, bool extended) { return 1u | scan << 16 | (extended ? 1u << 24 : 0); }

void Keys() {
    using pm::win32::KeyCodeOf;
    Check(KeyCodeOf(KeyMessage(0x2A, false), VK_SHIFT) == pm::Key::LShift, "left Shift");
    Check(KeyCodeOf(KeyMessage(0x36, false), VK_SHIFT) == pm::Key::RShift, "right Shift");
    Check(KeyCodeOf(KeyMessage(0x48, true), VK_UP) == pm::Key::Up, "the arrow Up (E0)");
    Check(KeyCodeOf(KeyMessage(0x48, false), VK_NUMPAD8) == pm::Key::Numpad8, "keypad 8 is not Up");
    Check(KeyCodeOf(KeyMessage(0x53, true), VK_DELETE) == pm::Key::Delete, "Delete");
    Check(KeyCodeOf(KeyMessage(0x1D, true), VK_CONTROL) == pm::Key::RControl, "right Ctrl");
    // Pause and Num Lock arrive with each other's E0 flag.
    Check(KeyCodeOf(KeyMessage(0x45, false), VK_PAUSE) == pm::Key::Pause, "Pause");
    Check(KeyCodeOf(KeyMessage(0x45, true), VK_NUMLOCK) == pm::Key::NumLock, "Num Lock");
    Check(KeyCodeOf(1, VK_SPACE) == pm::Key::Space, "a sent key without a scan code, by its virtual key");

    using pm::win32::ApplyPad;
    std::array<uint8_t, 256> keys{};
    ApplyPad({0, static_cast<int16_t>(-pm::StickDeadZone + 1)}, keys);
    Check(keys[pm::Key::Left] == 0, "a stick resting just inside the dead zone steers nowhere");
    ApplyPad({0, static_cast<int16_t>(-pm::StickDeadZone)}, keys);
    Check(keys[pm::Key::Left] == 128 && keys[pm::Key::Right] == 0, "the stick leaning left is Left");
    keys = {};
    ApplyPad({XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_BACK | XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_DPAD_RIGHT, 0},
             keys);
    int held = 0;
    for (uint8_t k : keys) held += k != 0;
    Check(keys[pm::Key::Space] && keys[pm::Key::Up] && keys[pm::Key::Delete] && keys[pm::Key::Right] && held == 4,
          "A, X, Back and the d-pad are keys; Start is not");
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::string root = pm::win32::Narrow(temp) + "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88-" +
                             std::to_string(GetCurrentProcessId());   // "テスト-<pid>"
    CreateDirectoryW(pm::win32::Wide(root).c_str(), nullptr);
    Files(root);
    Keys();
    // Clean up after ourselves, files first.
    std::system(("rmdir /s /q \"" + root + "\" >nul 2>nul").c_str());
    std::printf("%d of %d Windows checks passed\n", checks - failures, checks);
    return failures ? 1 : 0;
}

// The game's own files on Windows: where they are, the atomic replace, the
// folder lock and the folders made for them. Every path is UTF-8 in the
// game and UTF-16 at the system's calls, so a folder named in any script
// works (a user name in Japanese, say).
#include <windows.h>
// The system names a function of its own so; ours is pm::ReplaceFile.
#undef ReplaceFile

#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/data_files.h"
#include "platform/folder_lock.h"
#include "platform/score_path.h"
#include "hosts/win32/text.h"

namespace pm {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string WithSlash(std::string dir) {
    if (dir.empty()) return ".\\";
    if (!IsSeparator(dir.back())) dir += '\\';
    return dir;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(win32::Wide(path).c_str()); }

bool IsFolder(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A name no other copy of the game is using at this moment.
std::string UniqueSuffix() {
    static LONG counter = 0;
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64() % 1000000) + "-" +
           std::to_string(InterlockedIncrement(&counter));
}

// ReplaceFile's temporary files: ".NAME.<middle>.tmp" beside the file
// (the writer puts a unique suffix in the middle, the cleaner "*"); `folder`
// gets the file's folder with its separator ("" for none). Empty when the
// path names no file.
std::string TemporaryName(const std::string& path, const std::string& middle, std::string* folder = nullptr) {
    const size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string in = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (folder) *folder = in;
    if (name.empty()) return std::string();
    return in + "." + name + "." + middle + ".tmp";
}

}  // namespace

int RemoveStaleTemporaries(const std::string& path, int64_t minAgeSeconds) {
    std::string folder;
    const std::string pattern = TemporaryName(path, "*", &folder);
    if (pattern.empty()) return 0;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(win32::Wide(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FILETIME nowTime{};
    GetSystemTimeAsFileTime(&nowTime);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<int64_t>(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime);
    };
    const int64_t now = ticks(nowTime);
    constexpr int64_t TicksPerSecond = 10000000;   // FILETIME counts 100 ns
    std::vector<std::wstring> stale;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (now - ticks(found.ftLastWriteTime) < minAgeSeconds * TicksPerSecond) continue;   // perhaps still written
        stale.push_back(win32::Wide(folder) + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    int removed = 0;
    for (const std::wstring& file : stale) {
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        removed += DeleteFileW(file.c_str()) ? 1 : 0;
    }
    return removed;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);   // "C:\" itself
    return path.substr(0, slash);
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* reason) {
    auto fail = [&](std::string why) {
        if (reason) *reason = std::move(why);
        return false;
    };
    const DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return fail("not a regular file");
        // The read-only attribute is the player's way of keeping it as it is.
        if (attributes & FILE_ATTRIBUTE_READONLY) return fail("the file is read-only");
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return fail(win32::LastErrorText("cannot examine the file"));
    }

    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = win32::Wide(TemporaryName(path, UniqueSuffix()));
        file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) return fail(win32::LastErrorText("cannot create a temporary file"));

    std::string why;
    while (why.empty() && !bytes.empty()) {
        DWORD wrote = 0;
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        if (!WriteFile(file, bytes.data(), chunk, &wrote, nullptr) || wrote == 0)
            why = win32::LastErrorText("cannot write");
        else
            bytes.remove_prefix(wrote);
    }
    if (why.empty() && !FlushFileBuffers(file)) why = win32::LastErrorText("cannot flush");
    if (!CloseHandle(file) && why.empty()) why = win32::LastErrorText("cannot close");
    // The temporary file was hidden while it was half written; the record is not.
    if (why.empty()) SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (why.empty() && !MoveFileExW(temp.c_str(), win32::Wide(path).c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        why = win32::LastErrorText("cannot replace the file");
    if (!why.empty()) {
        DeleteFileW(temp.c_str());
        return fail(why);
    }
    return true;
}

std::string MyPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) throw StartupError(win32::LastErrorText("cannot find the program folder"));
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() > 32768) throw StartupError("cannot find the program folder: path too long");
        buffer.resize(buffer.size() * 2);
    }
    const std::string exe = win32::Narrow(buffer);
    return exe.substr(0, exe.find_last_of("/\\") + 1);
}

PathProbe SystemProbe() {
    PathProbe p;
    p.IsDirectory = IsFolder;
    // Whether a file can really be made there: the folder's attributes say
    // nothing about its access rights.
    p.IsWritableDirectory = [](const std::string& path) {
        if (!IsFolder(path)) return false;
        const std::wstring probe = win32::Wide(WithSlash(path) + ".pellimunch-probe-" + UniqueSuffix());
        const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    };
    p.GetEnv = [](const char* name) -> const char* {
        thread_local std::string value;
        const std::wstring wide = win32::Wide(name);
        const DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
        if (n == 0) return nullptr;
        std::wstring text(n, L'\0');
        const DWORD got = GetEnvironmentVariableW(wide.c_str(), text.data(), n);
        if (got == 0 || got >= n) return nullptr;
        text.resize(got);
        value = win32::Narrow(text);
        return value.c_str();
    };
    return p;
}

// Everything a Windows copy needs sits in its own folder.
const char* InstalledDataRelative() { return ""; }

std::string DataFolder(const std::string& exeDir, const PathProbe&) { return WithSlash(exeDir); }
std::string DataFolder(const std::string& exeDir) { return WithSlash(exeDir); }

// Beside the program, as the game always kept its record, when that folder
// holds the game and can be written; otherwise in the player's roaming
// application data (%APPDATA%\Pellimunch).
std::string ScoreFilePath(const std::string& exeDir, const PathProbe& probe) {
    const std::string here = WithSlash(exeDir);
    if (probe.IsDirectory(here + "bmp") && probe.IsWritableDirectory(here)) return here + "score.dat";
    const char* appData = probe.GetEnv("APPDATA");
    if (appData && *appData) return WithSlash(appData) + "Pellimunch\\score.dat";
    return here + "score.dat";
}

std::string ScoreFilePath(const std::string& exeDir) { return ScoreFilePath(exeDir, SystemProbe()); }

bool MakeFolderFor(const std::string& file, std::string* reason) {
    const std::string folder = FolderOf(file);
    if (folder == "." || IsFolder(folder)) return true;
    // Each missing level in turn, from the top down; the drive ("C:") and a
    // share's "\\server\name" are there or not, never made.
    size_t from = 0;
    if (folder.size() >= 2 && folder[1] == ':') from = 2;
    if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
        from = folder.find_first_of("/\\", 2);
        from = from == std::string::npos ? folder.size() : folder.find_first_of("/\\", from + 1);
        if (from == std::string::npos) from = folder.size();
    }
    for (size_t at = from + 1; at <= folder.size(); ++at) {
        if (at != folder.size() && !IsSeparator(folder[at])) continue;
        const std::string part = folder.substr(0, at);
        if (IsFolder(part)) continue;
        if (CreateDirectoryW(win32::Wide(part).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) continue;
        if (reason) *reason = part + ": " + win32::ErrorText(GetLastError());
        return false;
    }
    if (!IsFolder(folder)) {
        if (reason) *reason = folder + ": not a folder";
        return false;
    }
    return true;
}

// A folder cannot be locked on Windows; a lock file in it can. It stays
// (hidden) so that every copy of the game locks the same file.
FolderLock::FolderLock(const std::string& folder) {
    const std::wstring name = win32::Wide(WithSlash(folder) + "score.lock");
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        CloseHandle(h);
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
}

FolderLock::~FolderLock() {
    if (handle_ == -1) return;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED whole{};
    UnlockFileEx(h, 0, 1, 0, &whole);
    CloseHandle(h);
}

}  // namespace pm

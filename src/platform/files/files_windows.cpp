// The file layer on Windows. Every path is UTF-8 in the game and UTF-16 at
// the system's calls, so a folder named in any script works (a user name in
// Japanese, say).
#include <windows.h>
// The system names a function of its own so; ours is pm::ReplaceFile.
#undef ReplaceFile

#include <string>
#include <vector>

#include "machine/host.h"
#include "platform/files/files.h"
#include "platform/files/windows_text.h"

namespace pm {

namespace {

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

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string WithSeparator(std::string folder) {
    if (folder.empty()) return ".\\";
    if (!IsSeparator(folder.back())) folder += '\\';
    return folder;
}

FileKind KindOf(const std::string& path) {
    const DWORD a = Attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Folder;
    if (a & FILE_ATTRIBUTE_DEVICE) return FileKind::Device;
    return FileKind::Regular;
}

// Whether a file can really be made there: the folder's attributes say
// nothing about its access rights.
bool IsWritableFolder(const std::string& path) {
    if (!IsFolder(path)) return false;
    const std::wstring probe = win32::Wide(WithSeparator(path) + ".pellimunch-probe-" + UniqueSuffix());
    const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
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

const char* GetEnv(const char* name) {
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
}

// Windows keeps no home folder in an account database we could read here;
// %APPDATA% is the player's place.
std::string AccountHome() { return {}; }

// The player's roaming application data.
std::string PlayerFolder(const PathProbe& probe) {
    const char* appData = probe.GetEnv("APPDATA");
    if (appData && *appData) return WithSeparator(appData) + "Pellimunch\\";
    return {};
}

// --- reading -----------------------------------------------------------------

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

void InputFile::Failure(const char* step) {
    system_ = win32::ErrorText(GetLastError());
    why_ = std::string(step) + ": " + system_;
}

InputFile::Opened InputFile::Open(const std::string& path, Streams streams) {
    Close();
    size_ = 0;
    next_ = 0;
    kind_ = KindOf(path);
    if (kind_ == FileKind::Folder || (kind_ == FileKind::Device && streams == Streams::Refused))
        return Opened::NotRegular;
    // Shared every way, so a save of another copy can rename over it meanwhile.
    const HANDLE h = CreateFileW(win32::Wide(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        Failure("cannot open");
        kind_ = FileKind::Missing;
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Opened::Missing : Opened::Failed;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    // A pipe or a console opened by a name like "\\.\pipe\x" or "CON".
    const DWORD type = GetFileType(h);
    if (type != FILE_TYPE_DISK) {
        kind_ = type == FILE_TYPE_PIPE ? FileKind::Pipe : FileKind::Device;
        if (streams == Streams::Read) return Opened::Ok;
        Close();
        return Opened::NotRegular;
    }
    kind_ = FileKind::Regular;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) {
        Failure("cannot examine");
        Close();
        return Opened::Failed;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    return Opened::Ok;
}

bool InputFile::ReadAt(uint64_t offset, size_t count, std::string& bytes) {
    bytes.resize(count);
    size_t have = 0;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    while (have < count) {
        OVERLAPPED at{};
        const uint64_t from = offset + have;
        at.Offset = static_cast<DWORD>(from & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        const DWORD chunk = count - have > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count - have);
        DWORD got = 0;
        if (!ReadFile(h, bytes.data() + have, chunk, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            Failure("cannot read");
            bytes.resize(have);
            return false;
        }
        if (got == 0) break;
        have += got;
    }
    bytes.resize(have);
    return true;
}

bool InputFile::Read(size_t count, std::string& bytes) {
    if (kind_ == FileKind::Regular) {
        if (!ReadAt(next_, count, bytes)) return false;
        next_ += bytes.size();
        return true;
    }
    bytes.resize(count);
    const DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), chunk, &got, nullptr)) {
        const DWORD code = GetLastError();
        bytes.clear();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return true;   // the writer is done
        SetLastError(code);
        Failure("cannot read");
        return false;
    }
    bytes.resize(got);
    return true;
}

// --- writing -----------------------------------------------------------------

bool RenameOver(const std::string& from, const std::string& to, std::string* reason) {
    if (MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (reason) *reason = win32::ErrorText(GetLastError());
    return false;
}

bool RemoveFile(const std::string& path) {
    const std::wstring name = win32::Wide(path);
    if (DeleteFileW(name.c_str())) return true;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

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

// A folder cannot be locked on Windows; a lock file in it can. Every copy of
// the game opens the same score.lock, asking the system to delete it when
// the last of them closes it, so none is left beside the record.
// Mended: the lock file used to stay behind after every session.
FolderLock::FolderLock(const std::string& folder) {
    const std::wstring name = win32::Wide(WithSeparator(folder) + "score.lock");
    HANDLE h = INVALID_HANDLE_VALUE;
    // A lock file that its last holder is closing refuses new opens for that
    // moment (it is being deleted); the next try makes a new one.
    for (int attempt = 0; attempt < 200 && h == INVALID_HANDLE_VALUE; ++attempt) {
        h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) break;
        // No lock file there at all: the folder cannot be written.
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) break;
        Sleep(10);
    }
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

#include "platform/win32/process.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace pm::win32 {

void PrepareEnvironment() {
    if (_wgetenv(L"TMPDIR")) return;
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH + 1) return;
    std::wstring folder(buffer, n);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    _wputenv_s(L"TMPDIR", folder.c_str());
}

namespace {

bool Usable(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool UseParentConsole() {
    // Already going somewhere: a console, a file or a pipe (a test, a shell).
    if (Usable(STD_OUTPUT_HANDLE)) return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    FILE* f = nullptr;
    freopen_s(&f, "CONOUT$", "w", stdout);
    if (!Usable(STD_ERROR_HANDLE)) freopen_s(&f, "CONOUT$", "w", stderr);
    return true;
}

}  // namespace pm::win32

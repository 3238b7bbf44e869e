#include "hosts/win32/process.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "machine/host.h"
#include "platform/files/windows_text.h"

namespace pm::win32 {

namespace {

std::string kept;

void Keep(const std::string& line) {
    if (!kept.empty()) kept += "\n\n";
    kept += line;
}

void Box(const std::string& text, UINT icon) {
    MessageBoxW(nullptr, Wide(text).c_str(), L"Pellimunch", MB_OK | icon | MB_SETFOREGROUND);
}

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

void KeepLinesForBox() { SendLinesTo(Keep); }

void ShowKeptLines(bool error, const std::string& last) {
    if (!last.empty()) Keep(last);
    if (kept.empty()) return;
    Box(kept, error ? MB_ICONERROR : MB_ICONWARNING);
    kept.clear();
}

void ShowInfoBox(const std::string& text) { Box(text, MB_ICONINFORMATION); }

}  // namespace pm::win32

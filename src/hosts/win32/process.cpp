#include "hosts/win32/process.h"

#include <windows.h>

#include <cstdio>

namespace pm::win32 {

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

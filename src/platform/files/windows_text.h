// UTF-8, as the game keeps every string, to and from the UTF-16 of the
// Windows API. Invalid input becomes U+FFFD rather than failing.
#pragma once

#include <string>
#include <string_view>

namespace pm::win32 {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The system's text for an error code (GetLastError), on one line.
std::string ErrorText(unsigned long code);
// "what: <text of GetLastError()>"
std::string LastErrorText(const char* what);

}  // namespace pm::win32

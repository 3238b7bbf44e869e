// The reason of a failed system call, for a message: "cannot read: No such
// file or directory". Read errno right after the call that failed.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

namespace pm {

inline std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace pm

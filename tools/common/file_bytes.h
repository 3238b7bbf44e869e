// The fields of the file headers our tools write: little-endian for BMP and
// WAV, big-endian for PNG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pm::files {

// Overwrites the field at byte `at`, which must already be there.
inline void Set16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void Set32(std::string& s, size_t at, uint32_t v) {
    Set16(s, at, v & 0xFFFF);
    Set16(s, at + 2, v >> 16);
}

// Appends the field.
inline void Put16(std::string& s, uint32_t v) {
    s.append(2, '\0');
    Set16(s, s.size() - 2, v);
}

inline void Put32(std::string& s, uint32_t v) {
    s.append(4, '\0');
    Set32(s, s.size() - 4, v);
}

inline void PutBe32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace pm::files

#include "bmp_shot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/bmp_write.h"

namespace pm::sim {

std::string EncodeBmp24(const Surface& s) {
    return files::EncodeBmp24(s.Width, s.Height, [&s](int32_t x, int32_t y) { return WidenRgb565(s.At(x, y)); });
}

bool SaveBmp24(const Surface& surface, const std::string& path, std::string& error) {
    const std::string bytes = EncodeBmp24(surface);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        error = path + ": " + std::strerror(written ? errno : savedErrno);
        return false;
    }
    return true;
}

}  // namespace pm::sim

// Reading the game's data files: the bitmaps (any 24-bit or 8-bit BMP,
// converted to RGB565) and the 8-bit mono PCM wave files. Every failure
// throws StartupError with a one-line message naming the file and the reason.
#pragma once

#include <string>

#include "machine/host.h"
#include "platform/files/files.h"

namespace pm {

Surface LoadBmpFile(const std::string& path, int32_t width, int32_t height);
WaveData LoadWavFile(const std::string& path, int32_t rate);

// In-memory forms of the same readers, for tests and fuzzing.
Surface DecodeBmp(const std::string& name, const std::string& bytes, int32_t width, int32_t height);
WaveData DecodeWav(const std::string& name, const std::string& bytes, int32_t rate);

}  // namespace pm

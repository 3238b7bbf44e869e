// SCAFFOLD: to be replaced by the real readers.
#include "platform/data_files.h"

namespace pm {

Surface LoadBmpFile(const std::string& path, int32_t, int32_t) { throw StartupError(path + ": not readable yet"); }
WaveData LoadWavFile(const std::string& path, int32_t) { throw StartupError(path + ": not readable yet"); }
Surface DecodeBmp(const std::string& name, const std::string&, int32_t, int32_t) { throw StartupError(name + ": not readable yet"); }
WaveData DecodeWav(const std::string& name, const std::string&, int32_t) { throw StartupError(name + ": not readable yet"); }
std::string MyPath() { return "./"; }

}  // namespace pm

#include "hosts/sdl/render_device.h"

#include <dirent.h>
#include <unistd.h>

#include <string_view>

namespace pm {

bool HasRenderDevice(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with("renderD") && !name.starts_with("card")) continue;
        const std::string path = folder + "/" + std::string(name);
        if (::access(path.c_str(), R_OK | W_OK) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace pm

// Whether the machine has a graphics device the desktop's host may use.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hosts/sdl/render_device.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

TEST(RenderDevice, OnlyADeviceThisUserMayOpenCounts) {
    std::string tmpl = (fs::temp_directory_path() / "pm-dri-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const fs::path dir = tmpl;
    EXPECT_FALSE(HasRenderDevice((dir / "missing").string()));
    EXPECT_FALSE(HasRenderDevice(dir.string()));   // an empty folder
    std::ofstream(dir / "by-path");
    EXPECT_FALSE(HasRenderDevice(dir.string()));
    std::ofstream(dir / "renderD128");
    EXPECT_TRUE(HasRenderDevice(dir.string()));
    if (::geteuid() != 0) {   // root opens anything
        fs::permissions(dir / "renderD128", fs::perms::none);
        EXPECT_FALSE(HasRenderDevice(dir.string()));
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pm

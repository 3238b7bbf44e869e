// The table page's files, built into the server (src/board/site/).
#pragma once

#include <string_view>

namespace pm::board {

struct SiteFile {
    std::string_view Path;   // "/scores.html"
    std::string_view Type;
    std::string_view Body;
};

// Null for a path the page does not have.
const SiteFile* FindSiteFile(std::string_view path);

}  // namespace pm::board

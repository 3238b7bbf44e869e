// Text for --shot pictures where there is no font renderer: the title's
// lines as the desktop renderer drew them at build time.
#include "platform/text_atlas.h"
#include "shot_text.h"

namespace pm {
extern const AtlasLine TitleTextAtlas[];
extern const size_t TitleTextAtlasCount;
}  // namespace pm

namespace pm::sim {

std::unique_ptr<TextRenderer> MakeShotTextRenderer() {
    return std::make_unique<AtlasText>(TitleTextAtlas, TitleTextAtlasCount);
}

}  // namespace pm::sim

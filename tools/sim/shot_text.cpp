// Text for --shot pictures: the title's lines as the desktop renderer drew
// them at build time, so the runner needs no font renderer.
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

// pellimunch-gen OUTDIR: draws every picture and synthesises every sound of
// the game into OUTDIR/bmp and OUTDIR/wav. The output depends on nothing but
// this program, so every run writes the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "art.h"
#include "sounds.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pellimunch-gen OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::error_code ec;
    for (const char* sub : {"bmp", "wav"}) {
        std::filesystem::create_directories(out / sub, ec);
        if (ec) {
            std::fprintf(stderr, "pellimunch-gen: cannot create %s: %s\n", (out / sub).c_str(), ec.message().c_str());
            return 1;
        }
    }
    bool ok = true;
    auto write = [&](const std::string& rel, const std::string& bytes) {
        const std::filesystem::path p = out / rel;
        if (!gen::WriteFile(p.string(), bytes)) {
            std::fprintf(stderr, "pellimunch-gen: cannot write %s\n", p.c_str());
            ok = false;
        }
    };
    write("bmp/main.bmp", gen::DrawMainSheet().EncodeBmp());
    write("bmp/ground.bmp", gen::DrawGround().EncodeBmp());
    write("bmp/pinkline.bmp", gen::DrawPinkLine().EncodeBmp());
    write("bmp/title.bmp", gen::DrawTitle().EncodeBmp());
    write("bmp/scale.bmp", gen::DrawScale().EncodeBmp());
    for (const gen::NamedSound& s : gen::MakeSounds()) write(s.File, gen::EncodeWav(s.Data));
    return ok ? 0 : 1;
}

// pellimunch-sim for node: the headless runner built to WebAssembly, reading
// and writing the real files. Its program folder (for bmp/ and wav/ when no
// --dir is given) is the folder of its .js file.
#include <emscripten.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runner.h"

EM_JS(char*, pm_js_program_folder, (), {
    var folder = __dirname + "/";
    var size = lengthBytesUTF8(folder) + 1;
    var p = _malloc(size);
    stringToUTF8(folder, p, size);
    return p;
});

int main(int argc, char** argv) {
    // The runtime starts with a umask that would leave a saved record
    // unreadable to everyone.
    umask(022);
    std::vector<const char*> args(argv, argv + argc);
    bool hasDir = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        hasDir = hasDir || arg == "--dir" || arg.starts_with("--dir=");
    }
    std::string folder;
    if (!hasDir) {
        char* p = pm_js_program_folder();
        folder = p;
        std::free(p);
        // First, so the player's own arguments read exactly as written.
        args.insert(args.begin() + 1, {"--dir", folder.c_str()});
    }
    return pm::sim::RunMain(static_cast<int>(args.size()), args.data(), stdout, stderr, stdin);
}

// orrelune-imagegen OUTDIR [--png]
// Writes the thirteen texture images as NAME.raw into OUTDIR, and with --png
// a NAME.png preview of each beside it. The output depends on nothing but
// this program's code.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--png") != 0)) {
        std::fprintf(stderr, "usage: orrelune-imagegen OUTDIR [--png]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool png = argc == 3;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const auto& item : imagegen::make_images()) {
        std::string base = dir + "/" + item.name;
        if (!imagegen::write_raw(item.image, base + ".raw") ||
            (png && !imagegen::write_png(item.image, base + ".png"))) {
            std::fprintf(stderr, "orrelune-imagegen: cannot write %s\n", base.c_str());
            return 1;
        }
    }
    return 0;
}

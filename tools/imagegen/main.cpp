// orrelune-imagegen OUTDIR [--png]
// orrelune-imagegen --icon FILE
// orrelune-imagegen --icon-png FILE SIZE
// orrelune-imagegen --contact-sheet FILE
// Writes the thirteen texture images as NAME.raw into OUTDIR, and with --png
// a NAME.png preview of each beside it; or, with --icon, the program's icon
// (with --icon-png, as a PNG of SIZE pixels); or, with --contact-sheet, one
// PNG of all the images with their names.
// The output depends on nothing but this program's code.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue.h"
#include "contact_sheet.h"
#include "icon.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--icon") == 0) {
        std::error_code ec;
        std::filesystem::path parent = std::filesystem::path(argv[2]).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ec);
        if (imagegen::write_icon(argv[2])) return 0;
        std::fprintf(stderr, "orrelune-imagegen: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--icon-png") == 0) {
        int size = std::atoi(argv[3]);
        if (size > 0 && size <= 1024 && imagegen::write_icon_png(argv[2], size)) return 0;
        std::fprintf(stderr, "orrelune-imagegen: cannot write %s at %s pixels\n", argv[2], argv[3]);
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--contact-sheet") == 0) {
        if (imagegen::write_png(imagegen::make_contact_sheet(imagegen::make_images()), argv[2])) return 0;
        std::fprintf(stderr, "orrelune-imagegen: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--png") != 0)) {
        std::fprintf(
            stderr,
            "usage: orrelune-imagegen OUTDIR [--png] | --icon FILE | --icon-png FILE SIZE | --contact-sheet FILE\n");
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

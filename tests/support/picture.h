// Pictures as the tests compare them, and a PNG read into one.
// The rest of the tests may use: Picture, read_png.
#pragma once

#include <string>
#include <vector>

// 8-bit RGB, rows from the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// The PNG at `path`, as RGB whatever its own format; false when it can't be
// read.
bool read_png(const std::string& path, Picture* picture);

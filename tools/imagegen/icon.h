// The program's icon: a ringed planet on a clear ground, as a Windows icon
// file (.ico) holding 16, 32, 48 and 256 pixel images with an alpha channel, or
// as one PNG of any size for the Linux desktop's icon theme.
// Used by main (--icon, --icon-png).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

// The bytes of the .ico file.
std::vector<std::uint8_t> make_icon_file();

bool write_icon(const std::string& path);

// The same picture, size x size pixels, as an RGBA PNG.
bool write_icon_png(const std::string& path, int size);

}  // namespace imagegen

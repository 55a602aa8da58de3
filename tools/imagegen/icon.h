// The program's icon: a ringed planet on a clear ground, as a Windows icon
// file (.ico) holding 16, 32 and 48 pixel images with an alpha channel.
// Used by main (--icon).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

// The bytes of the .ico file.
std::vector<std::uint8_t> make_icon_file();

bool write_icon(const std::string& path);

}  // namespace imagegen

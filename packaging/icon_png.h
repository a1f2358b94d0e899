// The program's icon resource as PNG files for the desktop: one image of an
// icon, its palette indices turned into RGBA, written as an uncompressed PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/framework/afxres.h"

// RGBA bytes, row by row, of the icon's image that is size x size pixels;
// '.' is fully transparent. Empty when the icon has no such image or the image
// is malformed (wrong row count or length, a character outside the palette).
std::optional<std::vector<std::uint8_t>> IconRgba(const IconResource& icon, int size);

// A complete PNG file: 8-bit RGBA, no interlace, the pixels in stored deflate blocks.
std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba);

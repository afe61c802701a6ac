// Writes an uncompressed (BI_RGB) bottom-up Windows bitmap file from 0x00RRGGBB pixels.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bmp {

// Pixels top row first, each 0x00RRGGBB. bitsPerPixel is 24 (rows padded to 4 bytes) or 32
// (blue, green, red and a fourth byte that is always 0).
std::vector<std::uint8_t> encode(const std::vector<std::uint32_t>& pixels, int width, int height,
                                 int bitsPerPixel);

// Returns false (and says why on stderr) when the file cannot be written.
bool write(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace bmp

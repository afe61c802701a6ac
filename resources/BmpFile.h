// Uncompressed Windows bitmap files (BI_RGB): one reader and one writer for the tools, the
// tests and the Win32 layer outside Windows. Dependency-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bmp {

struct Image {
    int width = 0;
    int height = 0;
    // Top row first. 0x00RRGGBB, except that 32-bit files keep their fourth byte in bits 24 to 31.
    std::vector<std::uint32_t> pixels;

    // The file's header fields, for callers that hold a file to a stricter form.
    std::uint32_t fileSizeField = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoSize = 0;
    std::uint32_t planes = 0;
    std::uint32_t bitsPerPixel = 0; // 8 (with a palette), 24 or 32
    std::uint32_t paletteSize = 0;  // the colours-used field as stored
    bool bottomUp = true;           // rows stored bottom-up (a positive height)

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Reads a BI_RGB file of 8 (palette), 24 or 32 bits per pixel, stored bottom-up or top-down,
// with a BITMAPINFOHEADER or a larger header, at most 65536 pixels each way. False, with the
// reason in `error` when given, for anything else or a file too short for its pixels.
bool decode(const std::uint8_t* data, std::size_t size, Image& image, std::string* error = nullptr);

// Pixels top row first, each 0x00RRGGBB. bitsPerPixel is 24 (rows padded to 4 bytes) or 32
// (blue, green, red and a fourth byte that is always 0). Rows are stored bottom-up, 72 dpi.
std::vector<std::uint8_t> encode(const std::vector<std::uint32_t>& pixels, int width, int height,
                                 int bitsPerPixel);

// Returns false (and says why on stderr) when the file cannot be written.
bool write(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace bmp

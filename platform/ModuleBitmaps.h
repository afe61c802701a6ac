// The library's bitmap resources for systems without Win32 resources: the .bmp files built into
// the library (resources/), decoded into 32-bit pixels as LoadBitmapA does when it loads a
// bitmap for the display. Shared by every LoadBitmapA outside Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows top to bottom
};

// Decodes .bmp file bytes with the project's one reader (resources/BmpFile.h: uncompressed, 8,
// 24 or 32 bits per pixel, either row order); false when the bytes are anything else.
bool decodeBitmapFile(const std::uint8_t* data, std::size_t size, DecodedBitmap& bitmap);

// Decodes the library's embedded bitmap with resource id `id`; false when there is none.
bool loadModuleBitmap(int id, DecodedBitmap& bitmap);

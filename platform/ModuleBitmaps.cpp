#include "platform/ModuleBitmaps.h"

#include <climits>

#include "resources/EmbeddedResources.h"

namespace {

std::uint32_t read16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t read32(const std::uint8_t* p) {
    return read16(p) | (read16(p + 2) << 16);
}

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kUncompressed = 0; // BI_RGB

} // namespace

bool decodeBitmapFile(const std::uint8_t* data, std::size_t size, DecodedBitmap& bitmap) {
    if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' ||
        data[1] != 'M') {
        return false;
    }
    const std::uint32_t pixelOffset = read32(data + 10);
    const std::uint8_t* info = data + kFileHeaderSize;
    const std::uint32_t infoSize = read32(info);
    const auto width = static_cast<std::int32_t>(read32(info + 4));
    const auto signedHeight = static_cast<std::int32_t>(read32(info + 8));
    const std::uint32_t bitsPerPixel = read16(info + 14);
    const std::uint32_t compression = read32(info + 16);
    std::uint32_t paletteSize = read32(info + 32);
    if (infoSize < kInfoHeaderSize || width <= 0 || signedHeight == 0 ||
        signedHeight == INT32_MIN || compression != kUncompressed ||
        (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) || width > 1 << 16 ||
        signedHeight > 1 << 16 || signedHeight < -(1 << 16)) {
        return false;
    }
    // Rows are stored bottom-up unless the height is negative.
    const bool bottomUp = signedHeight > 0;
    const std::int32_t height = bottomUp ? signedHeight : -signedHeight;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
    if (pixelOffset > size || stride * height > size - pixelOffset) {
        return false;
    }

    std::vector<std::uint32_t> palette;
    if (bitsPerPixel == 8) {
        if (paletteSize == 0 || paletteSize > 256) {
            paletteSize = 256;
        }
        const std::size_t paletteOffset = kFileHeaderSize + infoSize;
        if (paletteOffset + paletteSize * 4 > pixelOffset) {
            return false;
        }
        for (std::uint32_t i = 0; i < paletteSize; ++i) {
            const std::uint8_t* entry = data + paletteOffset + i * 4; // blue, green, red, 0
            palette.push_back((static_cast<std::uint32_t>(entry[2]) << 16) |
                              (static_cast<std::uint32_t>(entry[1]) << 8) | entry[0]);
        }
    }

    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (std::int32_t row = 0; row < height; ++row) {
        const std::int32_t fileRow = bottomUp ? height - 1 - row : row;
        const std::uint8_t* line = data + pixelOffset + stride * fileRow;
        std::uint32_t* out = pixels.data() + static_cast<std::size_t>(row) * width;
        for (std::int32_t x = 0; x < width; ++x) {
            if (bitsPerPixel == 8) {
                const std::uint8_t index = line[x];
                out[x] = index < palette.size() ? palette[index] : 0u;
            } else {
                // Blue, green, red (and an unused fourth byte for 32 bits).
                const std::uint8_t* p = line + static_cast<std::size_t>(x) * (bitsPerPixel / 8);
                out[x] = (static_cast<std::uint32_t>(p[2]) << 16) |
                         (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
            }
        }
    }
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels = std::move(pixels);
    return true;
}

bool loadModuleBitmap(int id, DecodedBitmap& bitmap) {
    const EmbeddedBitmap* resource = findEmbeddedBitmap(id);
    return resource != nullptr && decodeBitmapFile(resource->data, resource->size, bitmap);
}

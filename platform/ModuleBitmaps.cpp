#include "platform/ModuleBitmaps.h"

#include <utility>

#include "resources/BmpFile.h"
#include "resources/EmbeddedResources.h"

bool decodeBitmapFile(const std::uint8_t* data, std::size_t size, DecodedBitmap& bitmap) {
    bmp::Image image;
    if (data == nullptr || !bmp::decode(data, size, image)) {
        return false;
    }
    bitmap.width = image.width;
    bitmap.height = image.height;
    bitmap.pixels = std::move(image.pixels);
    // Loaded for the display, a 32-bit file's fourth byte is no part of the colour.
    for (std::uint32_t& pixel : bitmap.pixels) {
        pixel &= 0x00FFFFFFu;
    }
    return true;
}

bool loadModuleBitmap(int id, DecodedBitmap& bitmap) {
    const EmbeddedBitmap* resource = findEmbeddedBitmap(id);
    return resource != nullptr && decodeBitmapFile(resource->data, resource->size, bitmap);
}

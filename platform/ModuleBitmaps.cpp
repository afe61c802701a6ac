#include "platform/ModuleBitmaps.h"

#include <algorithm>
#include <map>
#include <mutex>
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
    // Each embedded bitmap is decoded once per process and copied for every editor after: an
    // editor opening is then a copy of the pixels, not a decode. The cache lives as long as
    // the module, which stays loaded once loaded.
    static std::mutex mutex;
    static std::map<int, DecodedBitmap> decoded;
    const std::lock_guard<std::mutex> lock(mutex);
    auto found = decoded.find(id);
    if (found == decoded.end()) {
        const EmbeddedBitmap* resource = findEmbeddedBitmap(id);
        DecodedBitmap fresh;
        if (resource == nullptr || !decodeBitmapFile(resource->data, resource->size, fresh)) {
            return false;
        }
        found = decoded.emplace(id, std::move(fresh)).first;
    }
    // Sized, then filled: a copy-construction would make the module need a newer libstdc++.
    const DecodedBitmap& cached = found->second;
    bitmap.width = cached.width;
    bitmap.height = cached.height;
    bitmap.pixels.resize(cached.pixels.size());
    std::copy(cached.pixels.begin(), cached.pixels.end(), bitmap.pixels.begin());
    return true;
}

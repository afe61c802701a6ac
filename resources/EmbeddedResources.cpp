#include "resources/EmbeddedResources.h"

#include "resources/EmbeddedTable.h"

const EmbeddedBitmap* findEmbeddedBitmap(int id) {
    for (std::size_t i = 0; i < embedded::bitmapCount; ++i) {
        if (embedded::bitmaps[i].id == id) {
            return &embedded::bitmaps[i];
        }
    }
    return nullptr;
}

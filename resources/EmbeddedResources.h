// The editor's bitmaps as data built into the library, for platforms without Win32 resources.
// Each entry holds a whole .bmp file, headers included, under its resource id (ResourceIds.h).
#pragma once
#include <cstddef>

struct EmbeddedBitmap {
    int id;
    const unsigned char* data;
    std::size_t size;
}; // whole .bmp file

const EmbeddedBitmap* findEmbeddedBitmap(int id); // nullptr when no such id

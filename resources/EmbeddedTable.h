// The table that the build generates from the .bmp files (see EmbedBitmaps.cmake).
#pragma once
#include "resources/EmbeddedResources.h"

namespace embedded {
extern const EmbeddedBitmap bitmaps[];
extern const std::size_t bitmapCount;
} // namespace embedded

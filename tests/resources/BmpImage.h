// The editor's bitmaps read through the shared reader (resources/BmpFile.h) and held to the form
// the resource compiler and LoadBitmapA outside Windows both take: 24 or 32 bits, bottom-up, no palette.
#pragma once
#include "resources/BmpFile.h"
#include "resources/EmbeddedResources.h"

#include <cstdint>
#include <string>

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

std::string toString(Rgb c);

// WCAG relative luminance (0 black .. 1 white) and contrast ratio (1 .. 21).
double luminance(Rgb c);
double contrast(Rgb a, Rgb b);

class BmpImage {
public:
    // Checks the headers; error() says what is wrong when valid() is false.
    explicit BmpImage(const EmbeddedBitmap& file);

    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    int width() const { return image_.width; }
    int height() const { return image_.height; }
    int bitsPerPixel() const { return static_cast<int>(image_.bitsPerPixel); }

    // (x, y) from the top-left corner, as the picture is shown.
    Rgb at(int x, int y) const;
    // The fourth byte of a 32-bit pixel.
    std::uint8_t unusedByte(int x, int y) const;

private:
    bmp::Image image_;
    std::string error_;
};

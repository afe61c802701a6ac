// Minimal reader for the uncompressed Windows bitmaps the editor loads.
#pragma once
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
    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }

    // (x, y) from the top-left corner, as the picture is shown.
    Rgb at(int x, int y) const;
    // The fourth byte of a 32-bit pixel.
    std::uint8_t unusedByte(int x, int y) const;

private:
    const unsigned char* pixelAddress(int x, int y) const;

    const unsigned char* data_ = nullptr;
    std::string error_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    std::uint32_t pixelOffset_ = 0;
    std::uint32_t rowBytes_ = 0;
};

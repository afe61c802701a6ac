#include "tests/resources/BmpImage.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

std::string toString(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

double luminance(Rgb c) {
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double contrast(Rgb a, Rgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

BmpImage::BmpImage(const EmbeddedBitmap& file) {
    bmp::Image image;
    if (!bmp::decode(file.data, file.size, image, &error_)) {
        return;
    }
    constexpr std::uint32_t kHeaders = 14 + 40;
    if (image.fileSizeField != file.size) {
        error_ = "file size field " + std::to_string(image.fileSizeField) +
                 " != " + std::to_string(file.size);
        return;
    }
    if (image.infoSize != 40) {
        error_ = "not a BITMAPINFOHEADER";
        return;
    }
    if (!image.bottomUp) {
        error_ = "width and height must be positive (rows bottom-up)";
        return;
    }
    if (image.planes != 1) {
        error_ = "planes must be 1 and compression BI_RGB";
        return;
    }
    if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32) {
        error_ = "unexpected bit depth " + std::to_string(image.bitsPerPixel);
        return;
    }
    if (image.paletteSize != 0) {
        error_ = "no palette expected";
        return;
    }
    const std::uint32_t rowBytes =
        (static_cast<std::uint32_t>(image.width) * image.bitsPerPixel / 8 + 3) & ~3u;
    if (image.pixelOffset < kHeaders ||
        image.pixelOffset + rowBytes * static_cast<std::uint32_t>(image.height) != file.size) {
        error_ = "pixel data does not fill the file exactly";
        return;
    }
    image_ = std::move(image);
}

Rgb BmpImage::at(int x, int y) const {
    const std::uint32_t c = image_.at(x, y);
    return {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
            static_cast<int>(c & 0xFF)};
}

std::uint8_t BmpImage::unusedByte(int x, int y) const {
    return static_cast<std::uint8_t>(image_.at(x, y) >> 24);
}

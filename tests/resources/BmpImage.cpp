#include "tests/resources/BmpImage.h"

#include <algorithm>
#include <cmath>

namespace {

std::uint32_t read16(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t read32(const unsigned char* p) {
    return read16(p) | read16(p + 2) << 16;
}

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

BmpImage::BmpImage(const EmbeddedBitmap& file) : data_(file.data) {
    constexpr std::uint32_t kHeaders = 14 + 40;
    if (file.size < kHeaders || data_[0] != 'B' || data_[1] != 'M') {
        error_ = "no BM file header";
        return;
    }
    if (read32(data_ + 2) != file.size) {
        error_ = "file size field " + std::to_string(read32(data_ + 2)) +
                 " != " + std::to_string(file.size);
        return;
    }
    pixelOffset_ = read32(data_ + 10);
    const unsigned char* info = data_ + 14;
    if (read32(info) != 40) {
        error_ = "not a BITMAPINFOHEADER";
        return;
    }
    width_ = static_cast<std::int32_t>(read32(info + 4));
    height_ = static_cast<std::int32_t>(read32(info + 8));
    bitsPerPixel_ = static_cast<int>(read16(info + 14));
    if (width_ <= 0 || height_ <= 0) {
        error_ = "width and height must be positive (rows bottom-up)";
        return;
    }
    if (read16(info + 12) != 1 || read32(info + 16) != 0) {
        error_ = "planes must be 1 and compression BI_RGB";
        return;
    }
    if (bitsPerPixel_ != 24 && bitsPerPixel_ != 32) {
        error_ = "unexpected bit depth " + std::to_string(bitsPerPixel_);
        return;
    }
    if (read32(info + 32) != 0) {
        error_ = "no palette expected";
        return;
    }
    rowBytes_ = (static_cast<std::uint32_t>(width_) * bitsPerPixel_ / 8 + 3) & ~3u;
    if (pixelOffset_ < kHeaders ||
        pixelOffset_ + rowBytes_ * static_cast<std::uint32_t>(height_) != file.size) {
        error_ = "pixel data does not fill the file exactly";
        return;
    }
}

const unsigned char* BmpImage::pixelAddress(int x, int y) const {
    return data_ + pixelOffset_ + static_cast<std::size_t>(height_ - 1 - y) * rowBytes_ +
           static_cast<std::size_t>(x) * (bitsPerPixel_ / 8);
}

Rgb BmpImage::at(int x, int y) const {
    const unsigned char* p = pixelAddress(x, y);
    return {p[2], p[1], p[0]};
}

std::uint8_t BmpImage::unusedByte(int x, int y) const {
    return pixelAddress(x, y)[3];
}

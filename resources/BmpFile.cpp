#include "resources/BmpFile.h"

#include <cstdio>
#include <utility>

namespace bmp {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPixelsPerMetre = 2835; // 72 dpi

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::uint32_t read16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t read32(const std::uint8_t* p) {
    return read16(p) | (read16(p + 2) << 16);
}

bool fail(std::string* error, const char* reason) {
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

} // namespace

bool decode(const std::uint8_t* data, std::size_t size, Image& image, std::string* error) {
    if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' ||
        data[1] != 'M') {
        return fail(error, "no BM file header");
    }
    const std::uint8_t* info = data + kFileHeaderSize;
    Image read;
    read.fileSizeField = read32(data + 2);
    read.pixelOffset = read32(data + 10);
    read.infoSize = read32(info);
    const auto width = static_cast<std::int32_t>(read32(info + 4));
    const auto signedHeight = static_cast<std::int32_t>(read32(info + 8));
    read.planes = read16(info + 12);
    read.bitsPerPixel = read16(info + 14);
    const std::uint32_t compression = read32(info + 16);
    read.paletteSize = read32(info + 32);
    if (read.infoSize < kInfoHeaderSize || read.infoSize > size - kFileHeaderSize) {
        return fail(error, "no BITMAPINFOHEADER");
    }
    constexpr std::int32_t kLargest = 1 << 16;
    if (width <= 0 || width > kLargest || signedHeight == 0 || signedHeight > kLargest ||
        signedHeight < -kLargest) {
        return fail(error, "width or height out of range");
    }
    if (compression != 0) {
        return fail(error, "compressed (not BI_RGB)");
    }
    if (read.bitsPerPixel != 8 && read.bitsPerPixel != 24 && read.bitsPerPixel != 32) {
        return fail(error, "not 8, 24 or 32 bits per pixel");
    }
    read.bottomUp = signedHeight > 0;
    read.width = width;
    read.height = read.bottomUp ? signedHeight : -signedHeight;
    const std::size_t stride =
        ((static_cast<std::size_t>(read.width) * read.bitsPerPixel + 31) / 32) * 4;
    if (read.pixelOffset > size || stride * read.height > size - read.pixelOffset) {
        return fail(error, "file too short for its pixels");
    }

    std::vector<std::uint32_t> palette;
    if (read.bitsPerPixel == 8) {
        const std::uint32_t colours =
            read.paletteSize == 0 || read.paletteSize > 256 ? 256 : read.paletteSize;
        const std::size_t paletteOffset = kFileHeaderSize + read.infoSize;
        if (paletteOffset + colours * 4 > read.pixelOffset) {
            return fail(error, "palette overlaps the pixels");
        }
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint8_t* entry = data + paletteOffset + i * 4; // blue, green, red, 0
            palette.push_back((static_cast<std::uint32_t>(entry[2]) << 16) |
                              (static_cast<std::uint32_t>(entry[1]) << 8) | entry[0]);
        }
    }

    read.pixels.resize(static_cast<std::size_t>(read.width) * read.height);
    const std::size_t bytesPerPixel = read.bitsPerPixel / 8;
    for (int row = 0; row < read.height; ++row) {
        const int fileRow = read.bottomUp ? read.height - 1 - row : row;
        const std::uint8_t* line = data + read.pixelOffset + stride * fileRow;
        std::uint32_t* out = read.pixels.data() + static_cast<std::size_t>(row) * read.width;
        for (int x = 0; x < read.width; ++x) {
            if (read.bitsPerPixel == 8) {
                out[x] = line[x] < palette.size() ? palette[line[x]] : 0u;
                continue;
            }
            // Blue, green, red (and the fourth byte of 32 bits).
            const std::uint8_t* p = line + static_cast<std::size_t>(x) * bytesPerPixel;
            out[x] = (static_cast<std::uint32_t>(p[2]) << 16) |
                     (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
            if (bytesPerPixel == 4) {
                out[x] |= static_cast<std::uint32_t>(p[3]) << 24;
            }
        }
    }
    image = std::move(read);
    return true;
}

std::vector<std::uint8_t> encode(const std::vector<std::uint32_t>& pixels, int width, int height,
                                 int bitsPerPixel) {
    const std::uint32_t bytesPerPixel = static_cast<std::uint32_t>(bitsPerPixel) / 8;
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * bytesPerPixel + 3) & ~3u;
    const std::uint32_t imageSize = rowBytes * static_cast<std::uint32_t>(height);
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + imageSize);
    put16(out, 0);
    put16(out, 0);
    put32(out, offset);
    // BITMAPINFOHEADER: positive height = rows stored bottom-up, BI_RGB, no palette.
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bitsPerPixel));
    put32(out, 0);
    put32(out, imageSize);
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, 0);
    put32(out, 0);

    for (int y = height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            out.push_back(static_cast<std::uint8_t>(p & 0xFF));
            out.push_back(static_cast<std::uint8_t>((p >> 8) & 0xFF));
            out.push_back(static_cast<std::uint8_t>((p >> 16) & 0xFF));
            if (bytesPerPixel == 4) {
                out.push_back(0);
            }
        }
        while (out.size() - rowStart < rowBytes) {
            out.push_back(0);
        }
    }
    return out;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) {
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace bmp

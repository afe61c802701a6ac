// GDI32 of the stand-in: device contexts, bitmaps with real pixel memory, brushes, fonts,
// bit-block copies, rectangle fills and text drawn with the built-in font.
#include <algorithm>
#include <vector>

#include "platform/standin/StandInState.h"

using namespace standin::detail;

namespace {

std::uint32_t toPixel(COLORREF colour) {
    return standin::test::pixelOf(colour);
}

// What a colour becomes on a monochrome surface: the nearer of black and white.
std::uint32_t toMonochrome(std::uint32_t pixel) {
    const unsigned sum = ((pixel >> 16) & 0xFFu) + ((pixel >> 8) & 0xFFu) + (pixel & 0xFFu);
    return sum >= 384 ? 0xFFFFFFu : 0x000000u;
}

// The pixels a device context draws on, with the area drawing may touch.
struct Surface {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;
    RECT clip{};
    HBITMAP bitmap = nullptr;
    HWND window = nullptr;

    void put(int x, int y, std::uint32_t pixel) const {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
            pixels[static_cast<std::size_t>(y) * width + x] =
                bitsPerPixel == 1 ? toMonochrome(pixel) : pixel;
        }
    }
};

bool surfaceOf(const DeviceContext& dc, Surface& surface) {
    if (dc.memory) {
        GdiObject* bitmap = findObject(dc.bitmap, ObjectKind::Bitmap);
        if (bitmap == nullptr) {
            return false;
        }
        surface.pixels = bitmap->pixels.data();
        surface.width = bitmap->width;
        surface.height = bitmap->height;
        surface.bitsPerPixel = bitmap->bitsPerPixel;
        surface.clip = RECT{0, 0, bitmap->width, bitmap->height};
        surface.bitmap = reinterpret_cast<HBITMAP>(dc.bitmap);
        return true;
    }
    Window* window = findWindow(dc.window);
    if (window == nullptr) {
        return false;
    }
    surface.pixels = window->pixels.data();
    surface.width = window->width;
    surface.height = window->height;
    surface.bitsPerPixel = 32;
    surface.clip = intersect(dc.clip, RECT{0, 0, window->width, window->height});
    surface.window = dc.window;
    return true;
}

HDC addDc(DeviceContext dc) {
    State& s = state();
    dc.bitmap = dc.memory ? s.stockBitmap : nullptr;
    dc.font = s.stockFont;
    dc.brush = s.stockBrush;
    const std::uintptr_t handle = newHandle();
    s.dcs.emplace(handle, dc);
    return reinterpret_cast<HDC>(handle);
}

HGDIOBJ addObject(GdiObject object) {
    const std::uintptr_t handle = newHandle();
    state().objects.emplace(handle, std::move(object));
    return reinterpret_cast<HGDIOBJ>(handle);
}

const char* kindName(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Bitmap:
        return "bitmap";
    case ObjectKind::Brush:
        return "brush";
    case ObjectKind::Font:
        return "font";
    }
    return "object";
}

} // namespace

namespace standin::detail {

HDC createPaintDc(HWND window, const RECT& clip) {
    DeviceContext dc;
    dc.memory = false;
    dc.window = window;
    dc.clip = clip;
    return addDc(dc);
}

void releaseDc(HDC handle, const char* function) {
    State& s = state();
    DeviceContext* dc = findDc(handle);
    if (dc == nullptr) {
        return;
    }
    // Deleting a DC drops its selections, but whoever selected something should have put the
    // original back: note every object that is still in.
    if (dc->memory && dc->bitmap != s.stockBitmap) {
        diagnose(function, "a bitmap is still selected");
    }
    if (dc->font != s.stockFont) {
        diagnose(function, "a font is still selected");
    }
    if (dc->brush != s.stockBrush) {
        diagnose(function, "a brush is still selected");
    }
    if (dc->memory) {
        if (GdiObject* bitmap = findObject(dc->bitmap)) {
            bitmap->selectedInto = nullptr;
        }
    }
    s.dcs.erase(handleValue(handle));
}

std::uintptr_t addBitmap(int width, int height, int bitsPerPixel,
                         std::vector<std::uint32_t> pixels) {
    GdiObject bitmap;
    bitmap.kind = ObjectKind::Bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = bitsPerPixel;
    bitmap.pixels = std::move(pixels);
    return handleValue(addObject(std::move(bitmap)));
}

} // namespace standin::detail

// ---- Device contexts.

HDC WINAPI CreateCompatibleDC(HDC dc) {
    if (dc != nullptr && findDc(dc) == nullptr) {
        diagnose("CreateCompatibleDC", "unknown DC");
        return nullptr;
    }
    return addDc(DeviceContext{});
}

BOOL WINAPI DeleteDC(HDC dc) {
    const DeviceContext* record = findDc(dc);
    if (record == nullptr) {
        diagnose("DeleteDC", "unknown DC");
        return FALSE;
    }
    if (!record->memory) {
        diagnose("DeleteDC", "a paint DC is released by EndPaint");
        return FALSE;
    }
    releaseDc(dc, "DeleteDC");
    return TRUE;
}

// ---- Objects.

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    const DeviceContext* record = findDc(dc);
    if (record == nullptr) {
        diagnose("CreateCompatibleBitmap", "unknown DC");
        return nullptr;
    }
    if (width <= 0 || height <= 0) {
        diagnose("CreateCompatibleBitmap", "empty size");
        return nullptr;
    }
    // A memory DC gives its bitmap's format: right after creation that is the 1 x 1
    // monochrome stock bitmap, so the new bitmap is monochrome too.
    int bitsPerPixel = 32;
    if (record->memory) {
        bitsPerPixel = findObject(record->bitmap, ObjectKind::Bitmap)->bitsPerPixel;
    }
    return reinterpret_cast<HBITMAP>(
        addBitmap(width, height, bitsPerPixel,
                  std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, 0u)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    GdiObject brush;
    brush.kind = ObjectKind::Brush;
    brush.colour = colour & 0x00FFFFFFu;
    return reinterpret_cast<HBRUSH>(addObject(std::move(brush)));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName) {
    GdiObject font;
    font.kind = ObjectKind::Font;
    standin::test::FontInfo& info = font.font;
    info.exists = true;
    info.height = height;
    info.width = width;
    info.escapement = escapement;
    info.orientation = orientation;
    info.weight = weight;
    info.italic = italic;
    info.underline = underline;
    info.strikeOut = strikeOut;
    info.charSet = charSet;
    info.outPrecision = outPrecision;
    info.clipPrecision = clipPrecision;
    info.quality = quality;
    info.pitchAndFamily = pitchAndFamily;
    info.faceName = faceName != nullptr ? faceName : "";
    return reinterpret_cast<HFONT>(addObject(std::move(font)));
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* record = findDc(dc);
    GdiObject* selected = findObject(object);
    if (record == nullptr || selected == nullptr) {
        diagnose("SelectObject", record == nullptr ? "unknown DC" : "unknown object");
        return nullptr;
    }
    switch (selected->kind) {
    case ObjectKind::Bitmap: {
        if (!record->memory) {
            diagnose("SelectObject", "bitmaps go into memory DCs only");
            return nullptr;
        }
        // A bitmap is in one DC at a time; the stock bitmap is shared by all of them.
        if (!selected->stock && selected->selectedInto != nullptr && selected->selectedInto != dc) {
            diagnose("SelectObject", "bitmap already selected into another DC");
            return nullptr;
        }
        const HGDIOBJ previous = record->bitmap;
        GdiObject* replaced = findObject(previous);
        if (!replaced->stock) {
            replaced->selectedInto = nullptr;
        }
        if (!selected->stock) {
            selected->selectedInto = dc;
        }
        record->bitmap = object;
        return previous;
    }
    case ObjectKind::Font: {
        const HGDIOBJ previous = record->font;
        record->font = object;
        return previous;
    }
    case ObjectKind::Brush: {
        const HGDIOBJ previous = record->brush;
        record->brush = object;
        return previous;
    }
    }
    return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    if (object == nullptr) {
        return FALSE;
    }
    State& s = state();
    const GdiObject* record = findObject(object);
    if (record == nullptr) {
        diagnose("DeleteObject", "unknown object (deleted twice?)");
        return FALSE;
    }
    if (record->stock) {
        return TRUE;
    }
    if (standin::test::selectionCount(object) > 0) {
        diagnose("DeleteObject", std::string(kindName(record->kind)) + " still selected");
        return FALSE;
    }
    s.objects.erase(handleValue(object));
    return TRUE;
}

// ---- Drawing.

BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                   int sourceY, DWORD rop) {
    State& s = state();
    const DeviceContext* target = findDc(destination);
    const DeviceContext* origin = findDc(source);
    if (target == nullptr || origin == nullptr) {
        diagnose("BitBlt", "unknown DC");
        return FALSE;
    }
    if (rop != SRCCOPY) {
        diagnose("BitBlt", "only SRCCOPY is drawn");
        return FALSE;
    }
    Surface to;
    Surface from;
    if (!surfaceOf(*target, to) || !surfaceOf(*origin, from)) {
        diagnose("BitBlt", "DC without a surface");
        return FALSE;
    }
    standin::test::BlitRecord blit;
    blit.targetBitmap = to.bitmap;
    blit.targetWindow = to.window;
    blit.x = x;
    blit.y = y;
    blit.width = width;
    blit.height = height;
    blit.sourceBitmap = from.bitmap;
    blit.sourceWindow = from.window;
    blit.sourceX = sourceX;
    blit.sourceY = sourceY;
    blit.rop = rop;
    s.blits.push_back(blit);

    // Clip to the source bitmap and to the destination's drawable area.
    int startColumn = std::max({0, -sourceX, static_cast<int>(to.clip.left) - x});
    int endColumn = std::min({width, from.width - sourceX, static_cast<int>(to.clip.right) - x});
    int startRow = std::max({0, -sourceY, static_cast<int>(to.clip.top) - y});
    int endRow = std::min({height, from.height - sourceY, static_cast<int>(to.clip.bottom) - y});
    if (endColumn <= startColumn || endRow <= startRow) {
        return TRUE;
    }
    // Copy through a buffer so that overlapping copies within one surface read the old pixels.
    const int columns = endColumn - startColumn;
    std::vector<std::uint32_t> buffer(static_cast<std::size_t>(columns) * (endRow - startRow));
    for (int row = startRow; row < endRow; ++row) {
        const std::uint32_t* line =
            from.pixels + static_cast<std::size_t>(sourceY + row) * from.width + sourceX;
        std::copy(line + startColumn, line + endColumn,
                  buffer.begin() + static_cast<std::ptrdiff_t>(row - startRow) * columns);
    }
    const std::uint32_t sourceBackground = toPixel(origin->bkColour);
    for (int row = startRow; row < endRow; ++row) {
        for (int column = startColumn; column < endColumn; ++column) {
            std::uint32_t pixel =
                buffer[static_cast<std::size_t>(row - startRow) * columns + (column - startColumn)];
            if (to.bitsPerPixel == 1 && from.bitsPerPixel != 1) {
                // Colour to monochrome: the source DC's background colour becomes white.
                pixel = pixel == sourceBackground ? 0xFFFFFFu : 0x000000u;
            } else if (from.bitsPerPixel == 1 && to.bitsPerPixel != 1) {
                // Monochrome to colour: white takes the background colour, black the text colour.
                pixel = pixel != 0 ? toPixel(target->bkColour) : toPixel(target->textColour);
            }
            to.put(x + column, y + row, pixel);
        }
    }
    return TRUE;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    State& s = state();
    const DeviceContext* record = findDc(dc);
    const GdiObject* fill = findObject(brush, ObjectKind::Brush);
    if (record == nullptr || fill == nullptr || rect == nullptr) {
        diagnose("FillRect", "unknown DC or brush, or no rectangle");
        return 0;
    }
    Surface surface;
    if (!surfaceOf(*record, surface)) {
        diagnose("FillRect", "DC without a surface");
        return 0;
    }
    standin::test::FillRecord entry;
    entry.targetBitmap = surface.bitmap;
    entry.targetWindow = surface.window;
    entry.rect = *rect;
    entry.colour = fill->colour;
    s.fills.push_back(entry);

    // Left and top inclusive, right and bottom exclusive.
    const RECT area = intersect(*rect, surface.clip);
    const std::uint32_t pixel = toPixel(fill->colour);
    for (LONG y = area.top; y < area.bottom; ++y) {
        for (LONG x = area.left; x < area.right; ++x) {
            surface.put(x, y, pixel);
        }
    }
    return 1;
}

int WINAPI SetBkMode(HDC dc, int mode) {
    DeviceContext* record = findDc(dc);
    if (record == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
        diagnose("SetBkMode", "unknown DC or mode");
        return 0;
    }
    const int previous = record->bkMode;
    record->bkMode = mode;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) {
    DeviceContext* record = findDc(dc);
    if (record == nullptr) {
        diagnose("SetTextColor", "unknown DC");
        return 0xFFFFFFFFu; // CLR_INVALID
    }
    const COLORREF previous = record->textColour;
    record->textColour = colour & 0x00FFFFFFu;
    return previous;
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    State& s = state();
    const DeviceContext* record = findDc(dc);
    if (record == nullptr || (text == nullptr && length > 0) || length < 0) {
        diagnose("TextOutA", "unknown DC or bad text");
        return FALSE;
    }
    Surface surface;
    if (!surfaceOf(*record, surface)) {
        diagnose("TextOutA", "DC without a surface");
        return FALSE;
    }
    standin::test::TextRecord entry;
    entry.text.assign(text != nullptr ? text : "", static_cast<std::size_t>(length));
    entry.x = x;
    entry.y = y;
    entry.colour = record->textColour;
    entry.bkMode = record->bkMode;
    entry.font = reinterpret_cast<HFONT>(record->font);
    entry.targetBitmap = surface.bitmap;
    entry.targetWindow = surface.window;
    s.texts.push_back(entry);

    const std::uint32_t ink = toPixel(record->textColour);
    const std::uint32_t paper = toPixel(record->bkColour);
    for (int i = 0; i < length; ++i) {
        const int cellX = x + i * standin::test::kGlyphAdvance;
        if (record->bkMode == OPAQUE) {
            for (int row = 0; row < standin::test::kGlyphCellHeight; ++row) {
                for (int column = 0; column < standin::test::kGlyphAdvance; ++column) {
                    surface.put(cellX + column, y + row, paper);
                }
            }
        }
        drawGlyph(text[i], cellX, y, [&](int px, int py) { surface.put(px, py, ink); });
    }
    return TRUE;
}

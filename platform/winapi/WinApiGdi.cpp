// GDI32 outside Windows, drawn with Cairo: memory DCs on RGB24 image surfaces, paint DCs on the
// window's surface, bit-block copies, rectangle fills, the library's bitmaps, and text in the
// system's monospace face.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/ModuleBitmaps.h"
#include "platform/ModuleHandle.h"
#include "platform/winapi/WinApiState.h"

using namespace winapi;

namespace {

void setColour(cairo_t* cr, COLORREF colour) {
    cairo_set_source_rgb(cr, GetRValue(colour) / 255.0, GetGValue(colour) / 255.0,
                         GetBValue(colour) / 255.0);
}

cairo_surface_t* newImage(int width, int height) {
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
}

HGDIOBJ newBitmap(cairo_surface_t* image) {
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->kind = ObjectKind::Bitmap;
    bitmap->image = image;
    return addObject(std::move(bitmap));
}

// The face for a font request: the system's monospace face through fontconfig, or Cairo's own
// built-in face when the system has none that draws. `ascent` and `cell` (ascent plus descent)
// are set for a font size of 1.
cairo_font_face_t* monospaceFace(bool bold, double& ascent, double& cell) {
    const cairo_font_weight_t weight = bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL;
    for (const char* family : {"monospace", "@cairo:monospace"}) {
        cairo_font_face_t* face =
            cairo_toy_font_face_create(family, CAIRO_FONT_SLANT_NORMAL, weight);
        // Measured large and unhinted: hinted metrics of a tiny size are rounded to whole pixels.
        constexpr double kMeasureSize = 1000.0;
        cairo_matrix_t scale;
        cairo_matrix_t identity;
        cairo_matrix_init_scale(&scale, kMeasureSize, kMeasureSize);
        cairo_matrix_init_identity(&identity);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &scale, &identity, options);
        cairo_font_options_destroy(options);
        cairo_font_extents_t extents{};
        cairo_scaled_font_extents(scaled, &extents);
        const bool usable = cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS &&
                            std::isfinite(extents.ascent) && std::isfinite(extents.descent) &&
                            extents.ascent + extents.descent > 0.0;
        cairo_scaled_font_destroy(scaled);
        if (usable) {
            ascent = extents.ascent / kMeasureSize;
            cell = (extents.ascent + extents.descent) / kMeasureSize;
            return face;
        }
        cairo_font_face_destroy(face);
    }
    return nullptr;
}

HGDIOBJ stockObject(HGDIOBJ& slot, std::unique_ptr<GdiObject> object) {
    if (slot == nullptr) {
        object->stock = true;
        slot = addObject(std::move(object));
    }
    return slot;
}

HGDIOBJ stockBitmap() {
    // A new memory DC holds a 1 x 1 bitmap until something is selected into it.
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->image = newImage(1, 1);
    return stockObject(state().stockBitmap, std::move(bitmap));
}

HGDIOBJ stockFont() {
    auto font = std::make_unique<GdiObject>();
    font->kind = ObjectKind::Font;
    double cell = 1.0;
    font->face = monospaceFace(false, font->ascent, cell);
    font->size = 16.0 / cell;
    font->ascent *= font->size;
    return stockObject(state().stockFont, std::move(font));
}

HGDIOBJ stockBrush() {
    auto brush = std::make_unique<GdiObject>();
    brush->kind = ObjectKind::Brush;
    brush->colour = RGB(255, 255, 255);
    return stockObject(state().stockBrush, std::move(brush));
}

HDC addDc(DeviceContext dc) {
    dc.bitmap = dc.memory ? stockBitmap() : nullptr;
    dc.font = stockFont();
    dc.brush = stockBrush();
    const std::uintptr_t handle = newHandle();
    state().dcs.emplace(handle, dc);
    return reinterpret_cast<HDC>(handle);
}

bool isSelected(HGDIOBJ object) {
    for (const auto& entry : state().dcs) {
        const DeviceContext& dc = entry.second;
        if (dc.bitmap == object || dc.font == object || dc.brush == object) {
            return true;
        }
    }
    return false;
}

const char* stillSelected(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Bitmap:
        return "bitmap still selected";
    case ObjectKind::Brush:
        return "brush still selected";
    case ObjectKind::Font:
        return "font still selected";
    }
    return "object still selected";
}

} // namespace

namespace winapi {

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
    // original back: every object still in is a misuse.
    if (s.observer != nullptr) {
        if (dc->memory && dc->bitmap != s.stockBitmap) {
            misuse(function, "a bitmap is still selected");
        }
        if (dc->font != s.stockFont) {
            misuse(function, "a font is still selected");
        }
        if (dc->brush != s.stockBrush) {
            misuse(function, "a brush is still selected");
        }
    }
    if (GdiObject* bitmap = findObject(dc->bitmap, ObjectKind::Bitmap)) {
        bitmap->selectedInto = nullptr;
    }
    state().dcs.erase(reinterpret_cast<std::uintptr_t>(handle));
}

cairo_t* drawingContext(const DeviceContext& dc) {
    cairo_surface_t* target = nullptr;
    if (dc.memory) {
        if (const GdiObject* bitmap = findObject(dc.bitmap, ObjectKind::Bitmap)) {
            target = bitmap->image;
        }
    } else if (const Window* window = findWindow(dc.window)) {
        target = window->surface();
    }
    if (target == nullptr) {
        return nullptr;
    }
    cairo_t* cr = cairo_create(target);
    if (!dc.memory) {
        cairo_rectangle(cr, dc.clip.left, dc.clip.top, dc.clip.right - dc.clip.left,
                        dc.clip.bottom - dc.clip.top);
        cairo_clip(cr);
    }
    // Whole pixels, copied as they are.
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    return cr;
}

} // namespace winapi

// ---- Device contexts.

HDC WINAPI CreateCompatibleDC(HDC dc) {
    const StateLock lock;
    if (dc != nullptr && findDc(dc) == nullptr) {
        misuse("CreateCompatibleDC", "unknown DC");
        return nullptr;
    }
    return addDc(DeviceContext{});
}

BOOL WINAPI DeleteDC(HDC dc) {
    const StateLock lock;
    const DeviceContext* record = findDc(dc);
    if (record == nullptr) {
        misuse("DeleteDC", "unknown DC");
        return FALSE;
    }
    if (!record->memory) {
        misuse("DeleteDC", "a paint DC is released by EndPaint");
        return FALSE;
    }
    releaseDc(dc, "DeleteDC");
    return TRUE;
}

// ---- Objects.

// Always 32-bit colour (never monochrome, as one compatible with a fresh memory DC would be on
// Windows): the editor makes its back buffer from the window's DC.
HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    const StateLock lock;
    const DeviceContext* record = findDc(dc);
    if ((dc != nullptr && record == nullptr) || width <= 0 || height <= 0 || width > 32767 ||
        height > 32767) {
        misuse("CreateCompatibleBitmap", "unknown DC or empty size");
        return nullptr;
    }
    if (record != nullptr && record->memory && record->bitmap == state().stockBitmap) {
        // On Windows this bitmap would be monochrome, as the DC's 1 x 1 stock bitmap is.
        misuse("CreateCompatibleBitmap", "compatible with a memory DC holding no bitmap");
    }
    return reinterpret_cast<HBITMAP>(newBitmap(newImage(width, height)));
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR bitmapName) {
    const StateLock lock;
    const auto id = reinterpret_cast<ULONG_PTR>(bitmapName);
    DecodedBitmap decoded;
    if (instance != moduleHandle() || (id >> 16) != 0 ||
        !loadModuleBitmap(static_cast<int>(id), decoded)) {
        // Only this library's own resources, by integer id.
        misuse("LoadBitmapA", "no such bitmap resource in this module");
        return nullptr;
    }
    return addBitmap(decoded);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    const StateLock lock;
    auto brush = std::make_unique<GdiObject>();
    brush->kind = ObjectKind::Brush;
    brush->colour = colour & 0x00FFFFFFu;
    return reinterpret_cast<HBRUSH>(addObject(std::move(brush)));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName) {
    const StateLock lock;
    // Whatever face is asked for, the text is shown in the system's monospace face: a positive
    // height is the cell height, a negative one the character height (em) in pixels.
    auto font = std::make_unique<GdiObject>();
    font->kind = ObjectKind::Font;
    double cell = 1.0;
    font->face = monospaceFace(weight >= 600, font->ascent, cell);
    if (font->face == nullptr) {
        return nullptr;
    }
    font->size = height > 0   ? height / cell
                 : height < 0 ? -static_cast<double>(height)
                              : 16.0 / cell;
    font->ascent *= font->size;
    font->request = FontRequest{height,         width,
                                escapement,     orientation,
                                weight,         italic,
                                underline,      strikeOut,
                                charSet,        outPrecision,
                                clipPrecision,  quality,
                                pitchAndFamily, faceName != nullptr ? faceName : ""};
    return reinterpret_cast<HFONT>(addObject(std::move(font)));
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    const StateLock lock;
    DeviceContext* record = findDc(dc);
    GdiObject* selected = findObject(object);
    if (record == nullptr || selected == nullptr) {
        misuse("SelectObject", record == nullptr ? "unknown DC" : "unknown object");
        return nullptr;
    }
    HGDIOBJ previous = nullptr;
    switch (selected->kind) {
    case ObjectKind::Bitmap: {
        // Only into a memory DC, and into one at a time.
        if (!record->memory) {
            misuse("SelectObject", "bitmaps go into memory DCs only");
            return nullptr;
        }
        if (selected->selectedInto != nullptr && selected->selectedInto != dc) {
            misuse("SelectObject", "bitmap already selected into another DC");
            return nullptr;
        }
        previous = record->bitmap;
        if (GdiObject* old = findObject(previous, ObjectKind::Bitmap)) {
            old->selectedInto = nullptr;
        }
        if (!selected->stock) {
            selected->selectedInto = dc;
        }
        record->bitmap = object;
        break;
    }
    case ObjectKind::Font:
        previous = record->font;
        record->font = object;
        break;
    case ObjectKind::Brush:
        previous = record->brush;
        record->brush = object;
        break;
    }
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    const StateLock lock;
    GdiObject* record = findObject(object);
    if (record == nullptr) {
        if (object != nullptr) {
            misuse("DeleteObject", "unknown object (deleted twice?)");
        }
        return FALSE;
    }
    if (record->stock) {
        return TRUE; // stock objects are never deleted
    }
    if (isSelected(object)) {
        misuse("DeleteObject", stillSelected(record->kind));
        return FALSE;
    }
    state().objects.erase(reinterpret_cast<std::uintptr_t>(object));
    return TRUE;
}

// ---- Drawing.

BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                   int sourceY, DWORD rop) {
    const StateLock lock;
    const DeviceContext* target = findDc(destination);
    const DeviceContext* from = findDc(source);
    if (target == nullptr || from == nullptr || !from->memory || rop != SRCCOPY) {
        misuse("BitBlt", "unknown DC, a source that is no memory DC, or not SRCCOPY");
        return FALSE;
    }
    const GdiObject* bitmap = findObject(from->bitmap, ObjectKind::Bitmap);
    cairo_t* cr = drawingContext(*target);
    if (bitmap == nullptr || cr == nullptr) {
        if (cr != nullptr) {
            cairo_destroy(cr);
        }
        misuse("BitBlt", "DC without a surface");
        return FALSE;
    }
    if (Observer* observer = state().observer) {
        observer->blit(*target, x, y, width, height, *from, sourceX, sourceY, rop);
    }
    cairo_set_source_surface(cr, bitmap->image, x - sourceX, y - sourceY);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    // Only what the source bitmap has is copied.
    cairo_rectangle(cr, x - sourceX, y - sourceY, cairo_image_surface_get_width(bitmap->image),
                    cairo_image_surface_get_height(bitmap->image));
    cairo_clip(cr);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    return TRUE;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    const StateLock lock;
    const DeviceContext* target = findDc(dc);
    const GdiObject* fill = findObject(brush, ObjectKind::Brush);
    if (target == nullptr || rect == nullptr || fill == nullptr) {
        misuse("FillRect", "unknown DC or brush, or no rectangle");
        return 0;
    }
    if (Observer* observer = state().observer) {
        observer->fill(*target, *rect, fill->colour);
    }
    // Left and top inclusive, right and bottom exclusive: an inverted rectangle fills nothing.
    if (rect->right <= rect->left || rect->bottom <= rect->top) {
        return 1;
    }
    cairo_t* cr = drawingContext(*target);
    if (cr == nullptr) {
        return 0;
    }
    setColour(cr, fill->colour);
    cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_fill(cr);
    cairo_destroy(cr);
    return 1;
}

int WINAPI SetBkMode(HDC dc, int mode) {
    const StateLock lock;
    DeviceContext* record = findDc(dc);
    if (record == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
        misuse("SetBkMode", "unknown DC or mode");
        return 0;
    }
    const int previous = record->bkMode;
    record->bkMode = mode;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) {
    const StateLock lock;
    DeviceContext* record = findDc(dc);
    if (record == nullptr) {
        misuse("SetTextColor", "unknown DC");
        return 0xFFFFFFFFu; // CLR_INVALID
    }
    const COLORREF previous = record->textColour;
    record->textColour = colour & 0x00FFFFFFu;
    return previous;
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    const StateLock lock;
    const DeviceContext* record = findDc(dc);
    if (record == nullptr || (text == nullptr && length != 0) || length < 0) {
        misuse("TextOutA", "unknown DC or bad text");
        return FALSE;
    }
    if (Observer* observer = state().observer) {
        observer->text(dc, *record, x, y, text, length);
    }
    const GdiObject* font = findObject(record->font, ObjectKind::Font);
    if (font == nullptr || font->face == nullptr || length == 0) {
        return font != nullptr && font->face != nullptr;
    }
    // Single-byte text: anything outside ASCII shows as '?' rather than as broken UTF-8.
    std::string line(text, static_cast<std::size_t>(length));
    for (char& character : line) {
        if (static_cast<unsigned char>(character) > 126 ||
            static_cast<unsigned char>(character) < 32) {
            character = '?';
        }
    }
    cairo_t* cr = drawingContext(*record);
    if (cr == nullptr) {
        return FALSE;
    }
    cairo_set_font_face(cr, font->face);
    cairo_set_font_size(cr, font->size);
    // Text is smoothed over the panel, as Windows draws it.
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    if (record->bkMode == OPAQUE) {
        cairo_text_extents_t extents{};
        cairo_text_extents(cr, line.c_str(), &extents);
        cairo_font_extents_t fontExtents{};
        cairo_font_extents(cr, &fontExtents);
        setColour(cr, record->bkColour);
        cairo_rectangle(cr, x, y, std::ceil(extents.x_advance),
                        std::ceil(fontExtents.ascent + fontExtents.descent));
        cairo_fill(cr);
    }
    // The reference point is the cell's top-left corner; Cairo draws from the baseline.
    setColour(cr, record->textColour);
    cairo_move_to(cr, x, y + std::round(font->ascent));
    cairo_show_text(cr, line.c_str());
    cairo_destroy(cr);
    return TRUE;
}

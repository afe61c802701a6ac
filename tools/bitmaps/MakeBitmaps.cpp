// Draws the editor's three bitmaps with Cairo and writes them as Windows BMP files:
//   background.bmp  550 x 170, 24 bits: the panel
//   knobstrip.bmp   7095 x 55, 32 bits: 129 knob frames side by side
//   lamp.bmp        20 x 16, 24 bits: the lit lamp
// Usage: quorvel_make_bitmaps OUTPUT_DIR
#include "resources/BmpFile.h"
#include "tools/bitmaps/PanelStyle.h"

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace panel;

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------- Cairo helpers

struct Surface {
    cairo_surface_t* surface;
    cairo_t* cr;

    Surface(int width, int height)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
          cr(cairo_create(surface)) {
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
    }
    ~Surface() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Pixels top row first as 0x00RRGGBB.
    std::vector<std::uint32_t> pixels() {
        cairo_surface_flush(surface);
        const int width = cairo_image_surface_get_width(surface);
        const int height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            for (int x = 0; x < width; ++x) {
                out[static_cast<std::size_t>(y) * width + x] = row[x] & 0xFFFFFFu;
            }
        }
        return out;
    }
};

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void addStop(cairo_pattern_t* p, double offset, Rgb c, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(p, offset, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void fillWith(cairo_t* cr, cairo_pattern_t* p) {
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

struct Stop {
    double offset;
    Rgb colour;
    double alpha = 1.0;
};

// How a gradient is used on the current path.
enum class Use { Fill, FillPreserve, Stroke };

// A vertical gradient from y0 to y1 through `stops`, used on the current path (strokes 1 px wide).
void verticalGradient(cairo_t* cr, double y0, double y1, std::initializer_list<Stop> stops,
                      Use use) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    for (const Stop& stop : stops) {
        addStop(p, stop.offset, stop.colour, stop.alpha);
    }
    cairo_set_source(cr, p);
    if (use == Use::Stroke) {
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    } else if (use == Use::FillPreserve) {
        cairo_fill_preserve(cr);
    } else {
        cairo_fill(cr);
    }
    cairo_pattern_destroy(p);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// Filled rectangle on whole pixels: columns x..x+w-1, rows y..y+h-1.
void fillPixels(cairo_t* cr, int x, int y, int w, int h, Rgb c, double alpha = 1.0) {
    cairo_rectangle(cr, x, y, w, h);
    setColour(cr, c, alpha);
    cairo_fill(cr);
}

// ---------------------------------------------------------------- Text

struct Font {
    const char* family;
    cairo_font_weight_t weight;
    double size;     // pixels
    double tracking; // extra pixels between letters
};

// Whole-pixel tracking keeps the gaps between hinted letters even.
constexpr Font kCaptionFont = {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 8.0, 1.0};
constexpr Font kSmallFont = {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 7.0, 1.0};
constexpr Font kTitleFont = {"DejaVu Sans", CAIRO_FONT_WEIGHT_BOLD, 15.0, 3.0};
constexpr Font kHeaderFont = {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 8.0, 2.0};
constexpr Font kBandFont = {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 8.0, 1.0};

enum class Align { Left, Centre, Right };

// Lays the text out as glyphs starting at x = 0 with the font's tracking; returns the width.
std::vector<cairo_glyph_t> layout(cairo_t* cr, const Font& font, const std::string& text,
                                  double& width) {
    cairo_select_font_face(cr, font.family, CAIRO_FONT_SLANT_NORMAL, font.weight);
    cairo_set_font_size(cr, font.size);
    cairo_scaled_font_t* scaled = cairo_get_scaled_font(cr);
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    cairo_scaled_font_text_to_glyphs(scaled, 0, 0, text.c_str(), static_cast<int>(text.size()),
                                     &glyphs, &count, nullptr, nullptr, nullptr);
    std::vector<cairo_glyph_t> out(glyphs, glyphs + count);
    cairo_glyph_free(glyphs);
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(scaled, text.c_str(), &extents);
    for (int i = 0; i < count; ++i) {
        out[i].x += font.tracking * i;
    }
    width = extents.x_advance + font.tracking * (count > 0 ? count - 1 : 0);
    return out;
}

double textWidth(cairo_t* cr, const Font& font, const std::string& text) {
    double width = 0;
    layout(cr, font, text, width);
    return width;
}

// Draws text with its baseline at y; x is the left end, centre or right end. Glyph origins
// are put on whole pixels so hinted letters stay crisp.
void drawText(cairo_t* cr, const Font& font, const std::string& text, double x, double y,
              Align align, Rgb colour, double alpha = 1.0) {
    double width = 0;
    std::vector<cairo_glyph_t> glyphs = layout(cr, font, text, width);
    double left = x;
    if (align == Align::Centre) {
        left = x - width / 2;
    } else if (align == Align::Right) {
        left = x - width;
    }
    left = std::round(left);
    for (cairo_glyph_t& g : glyphs) {
        g.x = left + g.x;
        g.y = std::round(y);
    }
    setColour(cr, colour, alpha);
    cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
}

// Engraved look on the dark panel: a faint dark copy one pixel up, then the text.
void drawCaption(cairo_t* cr, const Font& font, const std::string& text, double x, double y,
                 Align align, Rgb colour) {
    drawText(cr, font, text, x, y - 1, align, kPanelShadow, 0.8);
    drawText(cr, font, text, x, y, align, colour);
}

// ---------------------------------------------------------------- Knob

// Pointer angle of a frame in radians, clockwise from straight up.
double frameAngle(int frame) {
    const double t = static_cast<double>(frame) / (kKnobFrames - 1);
    return (kKnobMinAngleDeg + t * (kKnobMaxAngleDeg - kKnobMinAngleDeg)) * kPi / 180.0;
}

void radialLine(cairo_t* cr, double angle, double inner, double outer) {
    const double dx = std::sin(angle);
    const double dy = -std::cos(angle);
    cairo_move_to(cr, kKnobCentre + dx * inner, kKnobCentre + dy * inner);
    cairo_line_to(cr, kKnobCentre + dx * outer, kKnobCentre + dy * outer);
}

void drawKnob(cairo_t* cr, int frame) {
    const double c = kKnobCentre;
    const double angle = frameAngle(frame);

    setColour(cr, kPanel);
    cairo_paint(cr);

    // Scale: eleven ticks, the two ends and the middle a little stronger.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (int k = 0; k < kTickCount; ++k) {
        const double a =
            (kKnobMinAngleDeg + k * (kKnobMaxAngleDeg - kKnobMinAngleDeg) / (kTickCount - 1)) *
            kPi / 180.0;
        const bool major = k == 0 || k == kTickCount - 1 || k == kTickCount / 2;
        radialLine(cr, a, kTickInner, kTickOuter);
        cairo_set_line_width(cr, major ? 1.6 : 1.1);
        setColour(cr, major ? kCaption : kCaptionDim);
        cairo_stroke(cr);
    }

    // Soft drop shadow, light from above.
    {
        cairo_pattern_t* p =
            cairo_pattern_create_radial(c, c + 1.8, kSkirtRadius - 2, c, c + 1.8, kSkirtRadius + 3);
        addStop(p, 0.0, {0, 0, 0}, 0.6);
        addStop(p, 1.0, {0, 0, 0}, 0.0);
        cairo_arc(cr, c, c + 1.8, kSkirtRadius + 3, 0, 2 * kPi);
        fillWith(cr, p);
    }

    // Skirt: black, lit from the top.
    cairo_arc(cr, c, c, kSkirtRadius, 0, 2 * kPi);
    verticalGradient(cr, c - kSkirtRadius, c + kSkirtRadius,
                     {{0.0, {74, 78, 86}}, {0.5, {36, 38, 43}}, {1.0, {16, 17, 20}}}, Use::Fill);
    // Knurling turns with the knob.
    cairo_save(cr);
    cairo_arc(cr, c, c, kSkirtRadius - 0.5, 0, 2 * kPi);
    cairo_clip(cr);
    cairo_set_line_width(cr, 0.9);
    for (int i = 0; i < kKnurlCount; ++i) {
        radialLine(cr, angle + i * 2 * kPi / kKnurlCount, kCapRadius + 1.5, kSkirtRadius);
    }
    setColour(cr, {0, 0, 0}, 0.45);
    cairo_stroke(cr);
    cairo_restore(cr);
    // Rim catching the light at the top.
    cairo_arc(cr, c, c, kSkirtRadius - 0.5, 0, 2 * kPi);
    verticalGradient(
        cr, c - kSkirtRadius, c + kSkirtRadius,
        {{0.0, {255, 255, 255}, 0.35}, {0.5, {255, 255, 255}, 0.05}, {1.0, {0, 0, 0}, 0.3}},
        Use::Stroke);

    // Cap: satin aluminium dome.
    cairo_arc(cr, c, c, kCapRadius, 0, 2 * kPi);
    {
        cairo_pattern_t* p = cairo_pattern_create_radial(c - 4, c - 6, 1, c, c, kCapRadius * 1.35);
        addStop(p, 0.0, {238, 240, 243});
        addStop(p, 0.55, {186, 190, 197});
        addStop(p, 1.0, {118, 122, 130});
        fillWith(cr, p);
    }
    cairo_arc(cr, c, c, kCapRadius - 0.4, 0, 2 * kPi);
    setColour(cr, {70, 74, 82}, 0.8);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);

    // Pointer: a dark line on the cap continued by a white notch on the skirt.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.0);
    radialLine(cr, angle, 4.0, kCapRadius - 2.0);
    setColour(cr, {34, 36, 40});
    cairo_stroke(cr);
    radialLine(cr, angle, kCapRadius + 1.5, kSkirtRadius - 1.5);
    setColour(cr, {244, 244, 246});
    cairo_stroke(cr);
}

// ---------------------------------------------------------------- Lamp

// The socket at (x, y), lit or not. The same drawing gives the background's unlit socket and
// the lit lamp bitmap, so the two differ only where the light is.
void drawLamp(cairo_t* cr, double x, double y, bool lit) {
    const double w = kLampWidth;
    const double h = kLampHeight;

    // Bezel: a recess, darker at the top, catching light on its lower edge.
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 3);
    verticalGradient(cr, y, y + h, {{0.0, {14, 15, 18}}, {1.0, {30, 32, 37}}}, Use::FillPreserve);
    verticalGradient(cr, y, y + h, {{0.0, {10, 11, 13}}, {1.0, {96, 102, 112}}}, Use::Stroke);

    const double lx = x + 3.5;
    const double ly = y + 3.5;
    const double lw = w - 7;
    const double lh = h - 7;
    if (lit) {
        // Glow spilling over the bezel (kept inside it, so the corners stay panel colour).
        cairo_save(cr);
        roundedRect(cr, x + 1.5, y + 1.5, w - 3, h - 3, 2);
        cairo_clip(cr);
        cairo_pattern_t* glow =
            cairo_pattern_create_radial(x + w / 2, y + h / 2, 3, x + w / 2, y + h / 2, w / 2 + 1);
        addStop(glow, 0.0, {255, 70, 50}, 0.9);
        addStop(glow, 1.0, {255, 40, 30}, 0.0);
        cairo_set_source(cr, glow);
        cairo_paint(cr);
        cairo_pattern_destroy(glow);
        cairo_restore(cr);
    }
    roundedRect(cr, lx, ly, lw, lh, 1.5);
    if (lit) {
        cairo_pattern_t* p =
            cairo_pattern_create_radial(x + w / 2, y + h / 2 - 1, 0.5, x + w / 2, y + h / 2, w / 2);
        addStop(p, 0.0, {255, 232, 214});
        addStop(p, 0.35, {255, 104, 76});
        addStop(p, 1.0, {214, 32, 24});
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
    } else {
        verticalGradient(cr, ly, ly + lh, {{0.0, {96, 34, 32}}, {1.0, {54, 17, 16}}},
                         Use::FillPreserve);
    }
    setColour(cr, {0, 0, 0}, 0.5);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // Specular stripe along the top of the lens.
    roundedRect(cr, lx + 1.5, ly + 1, lw - 3, 2, 1);
    setColour(cr, {255, 255, 255}, lit ? 0.35 : 0.12);
    cairo_fill(cr);
}

// ---------------------------------------------------------------- Panel

void drawDisplay(cairo_t* cr) {
    const int b = kDisplayBezel;
    roundedRect(cr, kDisplayX - b, kDisplayY - b, kDisplaySize + 2 * b, kDisplaySize + 2 * b, 3);
    setColour(cr, kBezel);
    cairo_fill(cr);
    // Lower edge of the recess catches the light.
    cairo_move_to(cr, kDisplayX - b + 2, kDisplayY + kDisplaySize + b + 0.5);
    cairo_line_to(cr, kDisplayX + kDisplaySize + b - 2, kDisplayY + kDisplaySize + b + 0.5);
    setColour(cr, kPanelHighlight);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    cairo_rectangle(cr, kDisplayX, kDisplayY, kDisplaySize, kDisplaySize);
    verticalGradient(cr, kDisplayY, kDisplayY + kDisplaySize,
                     {{0.0, kDisplayTop}, {1.0, kDisplayBottom}}, Use::Fill);
    // Inner shadow under the bezel's top edge.
    fillPixels(cr, kDisplayX, kDisplayY, kDisplaySize, 1, {0, 0, 0}, 0.14);
    fillPixels(cr, kDisplayX, kDisplayY, 1, kDisplaySize, {0, 0, 0}, 0.07);
}

void drawMeterBox(cairo_t* cr) {
    roundedRect(cr, kMeterBoxX + 0.5, kMeterBoxY + 0.5, kMeterBoxWidth - 1, kMeterBoxHeight - 1, 3);
    setColour(cr, kMeterBox);
    cairo_fill_preserve(cr);
    verticalGradient(cr, kMeterBoxY, kMeterBoxY + kMeterBoxHeight,
                     {{0.0, kPanelShadow}, {1.0, kPanelHighlight}}, Use::Stroke);

    for (int i = 0; i < kMeterSlotCount; ++i) {
        const int y = kMeterSlotY[i];
        // A one-pixel lip below the slot, then the slot itself, uniformly dark.
        fillPixels(cr, kMeterSlotX, y + kMeterSlotHeight, kMeterSlotLength, 1, {58, 63, 72});
        fillPixels(cr, kMeterSlotX, y, kMeterSlotLength, kMeterSlotHeight, kMeterSlot);
        drawText(cr, kSmallFont, kMeterCaption[i], kMeterCaptionX, y + 4, Align::Left, kCaptionDim);
    }
}

// Returns false when the maker's name would not fit inside the clickable link area.
bool drawTitleBand(cairo_t* cr) {
    fillPixels(cr, 0, kBandY, kWidth, kHeight - kBandY, kBand);
    fillPixels(cr, 0, kBandY - 1, kWidth, 1, kPanelShadow);
    drawText(cr, kBandFont, kMakerName, kLinkLeft + 4, kBandBaseline, Align::Left, kLink);
    drawText(cr, kBandFont, kProductName, kWidth - 8, kBandBaseline, Align::Right, kCaptionDim);

    cairo_text_extents_t ink;
    cairo_text_extents(cr, kMakerName, &ink); // font still set by the drawText above
    const double right = kLinkLeft + 4 + textWidth(cr, kBandFont, kMakerName);
    const double top = kBandBaseline + ink.y_bearing;
    if (right > kLinkRight + 1 || top < kLinkTop) {
        std::fprintf(stderr, "maker name leaves the link area (right %.1f, top %.1f)\n", right,
                     top);
        return false;
    }
    return true;
}

void drawHeader(cairo_t* cr) {
    drawCaption(cr, kTitleFont, "QUORVEL", kHeaderLeft, kHeaderBaseline, Align::Left, kCaption);
    const double titleWidth = textWidth(cr, kTitleFont, "QUORVEL");
    drawText(cr, kHeaderFont, "DEMO", kHeaderLeft + titleWidth + 6, kHeaderBaseline, Align::Left,
             kAccent);
    drawCaption(cr, kHeaderFont, kProductKind, kHeaderRight, kHeaderBaseline, Align::Right,
                kCaptionDim);
    // Engraved rules under the header, one over each knob group.
    for (const auto& rule : kHeaderRules) {
        const int length = rule.last - rule.first + 1;
        fillPixels(cr, rule.first, kHeaderRuleY, length, 1, kPanelShadow);
        fillPixels(cr, rule.first, kHeaderRuleY + 1, length, 1, kPanelHighlight);
    }
}

bool drawBackground(cairo_t* cr) {
    setColour(cr, kPanel);
    cairo_paint(cr);
    // Panel edges: lit top and left, shaded right.
    fillPixels(cr, 0, 0, kWidth, 1, kPanelHighlight);
    fillPixels(cr, 0, 0, 1, kBandY, kPanelHighlight);
    fillPixels(cr, kWidth - 1, 0, 1, kBandY, kPanelShadow);

    drawHeader(cr);
    for (int i = 0; i < kKnobCount; ++i) {
        drawCaption(cr, kCaptionFont, kKnobCaption[i], kKnobPos[i].x + kKnobCentre,
                    kKnobCaptionBaseline, Align::Centre, kCaption);
    }
    drawDisplay(cr);
    drawMeterBox(cr);
    for (int i = 0; i < kLampCount; ++i) {
        const Point p = kLampPos[i];
        drawLamp(cr, p.x, p.y, false);
        const double baseline = p.y + kLampHeight / 2 + 3;
        if (kLampCaptionOnRight[i]) {
            drawCaption(cr, kCaptionFont, kLampCaption[i], p.x + kLampWidth + kLampCaptionGap,
                        baseline, Align::Left, kCaption);
        } else {
            drawCaption(cr, kCaptionFont, kLampCaption[i], p.x - kLampCaptionGap, baseline,
                        Align::Right, kCaption);
        }
    }
    return drawTitleBand(cr);
}

// ---------------------------------------------------------------- Output

bool save(const std::string& dir, const char* name, const std::vector<std::uint32_t>& pixels,
          int width, int height, int bitsPerPixel) {
    const std::string path = dir + "/" + name;
    if (!bmp::write(path, bmp::encode(pixels, width, height, bitsPerPixel))) {
        return false;
    }
    std::printf("wrote %s (%d x %d, %d bits)\n", path.c_str(), width, height, bitsPerPixel);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    Surface background(kWidth, kHeight);
    if (!drawBackground(background.cr)) {
        return 1;
    }

    std::vector<std::uint32_t> strip(static_cast<std::size_t>(kStripWidth) * kFrameSize);
    for (int f = 0; f < kKnobFrames; ++f) {
        Surface frame(kFrameSize, kFrameSize);
        drawKnob(frame.cr, f);
        const std::vector<std::uint32_t> px = frame.pixels();
        for (int y = 0; y < kFrameSize; ++y) {
            for (int x = 0; x < kFrameSize; ++x) {
                strip[static_cast<std::size_t>(y) * kStripWidth + f * kFrameSize + x] =
                    px[static_cast<std::size_t>(y) * kFrameSize + x];
            }
        }
    }

    Surface lamp(kLampWidth, kLampHeight);
    setColour(lamp.cr, kPanel);
    cairo_paint(lamp.cr);
    drawLamp(lamp.cr, 0, 0, true);

    const bool ok = save(dir, "background.bmp", background.pixels(), kWidth, kHeight, 24) &&
                    save(dir, "knobstrip.bmp", strip, kStripWidth, kFrameSize, 32) &&
                    save(dir, "lamp.bmp", lamp.pixels(), kLampWidth, kLampHeight, 24);
    return ok ? 0 : 1;
}

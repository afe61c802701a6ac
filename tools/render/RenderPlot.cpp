#include "tools/render/RenderPlot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kLevelFloor = -60.0;  // dBFS at the level area's bottom edge
constexpr double kLevelCeiling = 48.0; // the highest top edge, for outputs far beyond full scale
constexpr int kRight = plot::kLeft + plot::kColumns;

// A NaN level (from a NaN sample) is drawn as the loudest there is.
double toDb(double level) {
    if (std::isnan(level)) {
        return INFINITY;
    }
    return level > 0.0 ? 20.0 * std::log10(level) : -INFINITY;
}

// The higher of two peaks, where a NaN stays: it marks a column holding a NaN sample.
float louder(float peak, float magnitude) {
    return magnitude > peak || magnitude != magnitude ? magnitude : peak;
}

// The largest magnitude in eight independent lanes, which the compiler turns into vector
// maxima (a single running maximum would be a serial chain it must keep in order); NaN if a
// sample is NaN. x - x is NaN only for an infinite or NaN sample, and a sum once NaN stays so.
float peakMagnitude(const float* samples, int count) {
    float lanes[8] = {};
    float nonFinite[8] = {};
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        for (int lane = 0; lane < 8; ++lane) {
            const float x = samples[k + lane];
            lanes[lane] = std::max(lanes[lane], std::fabs(x));
            nonFinite[lane] += x - x;
        }
    }
    for (; k < count; ++k) {
        lanes[0] = std::max(lanes[0], std::fabs(samples[k]));
        nonFinite[0] += samples[k] - samples[k];
    }
    const float peak = *std::max_element(lanes, lanes + 8);
    float sum = 0.0f;
    for (float lane : nonFinite) {
        sum += lane;
    }
    return std::isnan(sum) && !std::isinf(peak) ? NAN : peak;
}

struct Scale {
    double top;    // value at yTop
    double bottom; // value at yBottom
    int yTop;
    int yBottom;

    // Any value, infinities included, lands inside the area; NaN at its top.
    double y(double value) const {
        const double clamped = std::isnan(value) ? top : std::clamp(value, bottom, top);
        return yTop + (top - clamped) / (top - bottom) * (yBottom - yTop);
    }
};

void text(cairo_t* cr, double x, double y, const std::string& line, double size, bool bold,
          double alignX = 0.0) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, line.c_str(), &extents);
    cairo_move_to(cr, x - alignX * extents.x_advance, y);
    cairo_show_text(cr, line.c_str());
}

std::string printed(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Horizontal grid lines with their labels left of the area.
void valueAxis(cairo_t* cr, const Scale& scale, double step, const char* label) {
    cairo_set_line_width(cr, 1.0);
    const int lines = static_cast<int>(std::floor((scale.top - scale.bottom) / step + 1e-9));
    for (int line = 0; line <= lines; ++line) {
        const double value = scale.top - line * step;
        const double y = std::round(scale.y(value)) + 0.5;
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, plot::kLeft, y);
        cairo_line_to(cr, kRight, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        text(cr, plot::kLeft - 6, y + 4, printed("%.0f", value == 0.0 ? 0.0 : value), 11, false,
             1.0);
    }
    text(cr, plot::kLeft, scale.yTop - 8, label, 12, true);
}

// A step of 1, 2 or 5 times a power of ten giving at most about ten ticks.
double niceStep(double span, int ticks) {
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= raw) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    const int fd = *static_cast<const int*>(closure);
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return CAIRO_STATUS_WRITE_ERROR;
        }
        data += written;
        length -= static_cast<unsigned int>(written);
    }
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

void releaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

LevelTrace::LevelTrace(long long totalFrames, int sampleRate)
    : growing(totalFrames < 0), frames(std::max(totalFrames, 1LL)), rate(sampleRate),
      columnFrames((frames + plot::kColumns - 1) / plot::kColumns),
      inputPeak(static_cast<std::size_t>(plot::kColumns), 0.0f),
      outputPeak(static_cast<std::size_t>(plot::kColumns), 0.0f),
      lowestGain(static_cast<std::size_t>(plot::kColumns), NAN) {}

void LevelTrace::raise(std::vector<float>& peaks, long long columnFrames, const float* left,
                       const float* right, long long start, int count) {
    int done = 0;
    while (done < count) {
        const long long frame = start + done;
        const long long column = std::min<long long>(frame / columnFrames, plot::kColumns - 1);
        // The last column also takes frames beyond the announced length.
        const long long remaining =
            column == plot::kColumns - 1 ? count - done : (column + 1) * columnFrames - frame;
        const int end = done + static_cast<int>(std::min<long long>(count - done, remaining));
        float peak =
            louder(peaks[static_cast<std::size_t>(column)], peakMagnitude(left + done, end - done));
        if (right != nullptr) {
            peak = louder(peak, peakMagnitude(right + done, end - done));
        }
        peaks[static_cast<std::size_t>(column)] = peak;
        done = end;
    }
}

void LevelTrace::reach(long long end) {
    if (!growing) {
        return;
    }
    frames = std::max(frames, end);
    while (end > columnFrames * plot::kColumns) {
        // Pairs of columns merged into one: the higher peak, the lower gain.
        for (int c = 0; c < plot::kColumns; ++c) {
            const auto to = static_cast<std::size_t>(c);
            if (c < plot::kColumns / 2) {
                const std::size_t a = 2 * to, b = 2 * to + 1;
                inputPeak[to] = louder(inputPeak[a], inputPeak[b]);
                outputPeak[to] = louder(outputPeak[a], outputPeak[b]);
                lowestGain[to] = std::isnan(lowestGain[a]) ? lowestGain[b]
                                 : std::isnan(lowestGain[b])
                                     ? lowestGain[a]
                                     : std::min(lowestGain[a], lowestGain[b]);
            } else {
                inputPeak[to] = outputPeak[to] = 0.0f;
                lowestGain[to] = NAN;
            }
        }
        columnFrames *= 2;
    }
}

void LevelTrace::addInput(const float* left, const float* right, long long start, int count) {
    reach(start + count);
    raise(inputPeak, columnFrames, left, right, start, count);
}

void LevelTrace::addOutput(const float* left, const float* right, long long start, int count) {
    reach(start + count);
    raise(outputPeak, columnFrames, left, right, start, count);
}

void LevelTrace::addGain(long long end, float gain) {
    reach(end);
    const long long column = std::min<long long>((end - 1) / columnFrames, plot::kColumns - 1);
    float& lowest = lowestGain[static_cast<std::size_t>(std::max(column, 0LL))];
    lowest = std::isnan(lowest) ? gain : std::min(lowest, gain);
}

bool LevelTrace::writePng(int fd, const std::string& path, const std::string& title,
                          const std::string& subtitle, double thresholdLevel,
                          std::string& error) const {
    const int used = static_cast<int>(
        std::min<long long>((frames + columnFrames - 1) / columnFrames, plot::kColumns));

    // The level area reaches above 0 dBFS only when the output does.
    double peakDb = 0.0;
    for (int c = 0; c < used; ++c) {
        peakDb = std::max(peakDb, toDb(outputPeak[static_cast<std::size_t>(c)]));
    }
    const Scale level{std::ceil(std::min(peakDb, kLevelCeiling) / 6.0) * 6.0, kLevelFloor,
                      plot::kLevelTop, plot::kLevelBottom};

    // The gain area is sized by the deepest reduction after the first second (the gain starts
    // from zero when the effect is switched on), at least 6 dB, at most 48 dB.
    const int settled =
        seconds() > 2.0 ? static_cast<int>(static_cast<double>(rate) / columnFrames) : 0;
    double deepest = 0.0;
    for (int c = settled; c < used; ++c) {
        const float gain = lowestGain[static_cast<std::size_t>(c)];
        if (!std::isnan(gain)) {
            deepest = std::max(deepest, -toDb(gain));
        }
    }
    const Scale reduction{0.0, -std::clamp(std::ceil(deepest / 6.0) * 6.0, 6.0, 48.0),
                          plot::kGainTop, plot::kGainBottom};

    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, plot::kWidth, plot::kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    text(cr, plot::kLeft, 28, title, 16, true);
    text(cr, plot::kLeft, 52, subtitle, 13, false);

    valueAxis(cr, level, 12.0, "level (dBFS)");
    valueAxis(cr, reduction, niceStep(-reduction.bottom, 6), "gain reduction (dB)");

    // Input: the filled envelope. Output: a line over it.
    cairo_set_source_rgb(cr, 0.72, 0.79, 0.90);
    cairo_move_to(cr, plot::kLeft, level.yBottom);
    for (int c = 0; c < used; ++c) {
        const double y = level.y(toDb(inputPeak[static_cast<std::size_t>(c)]));
        cairo_line_to(cr, plot::kLeft + c, y);
        cairo_line_to(cr, plot::kLeft + c + 1, y);
    }
    cairo_line_to(cr, plot::kLeft + used, level.yBottom);
    cairo_close_path(cr);
    cairo_fill(cr);

    cairo_set_source_rgb(cr, 0.08, 0.27, 0.62);
    cairo_set_line_width(cr, 1.3);
    for (int c = 0; c < used; ++c) {
        const double y = level.y(toDb(outputPeak[static_cast<std::size_t>(c)]));
        cairo_line_to(cr, plot::kLeft + c + 0.5, y);
    }
    cairo_stroke(cr);

    // The threshold the engine used.
    const double thresholdDb = toDb(thresholdLevel);
    cairo_set_source_rgb(cr, 0.85, 0.12, 0.12);
    cairo_set_line_width(cr, 1.5);
    const double dash[] = {6.0, 4.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    cairo_move_to(cr, plot::kLeft, level.y(thresholdDb));
    cairo_line_to(cr, kRight, level.y(thresholdDb));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    // Labelled on a white patch. The engine works with the knob's 1/128 step, so its threshold
    // may differ a little from the panel's reading in the title.
    const std::string label = printed("engine threshold %.1f dBFS", thresholdDb);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, label.c_str(), &extents);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, kRight - 8 - extents.x_advance, level.y(thresholdDb) - 18,
                    extents.x_advance + 6, 14);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.85, 0.12, 0.12);
    text(cr, kRight - 5, level.y(thresholdDb) - 7, label, 11, false, 1.0);

    // Legend.
    const struct {
        double r, g, b;
        const char* name;
    } legend[] = {{0.72, 0.79, 0.90, "input peak"}, {0.08, 0.27, 0.62, "output peak"}};
    double legendX = plot::kLeft + 160;
    for (const auto& item : legend) {
        cairo_set_source_rgb(cr, item.r, item.g, item.b);
        cairo_rectangle(cr, legendX, plot::kLevelTop - 18, 14, 10);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        text(cr, legendX + 18, plot::kLevelTop - 9, item.name, 11, false);
        legendX += 110;
    }

    // Gain reduction: filled from 0 dB down to the gain at the end of each block, in one exact
    // colour (no antialiasing). Columns where no block ended are bridged.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, plot::kGainRed / 255.0, plot::kGainGreen / 255.0,
                         plot::kGainBlue / 255.0);
    cairo_move_to(cr, plot::kLeft, plot::kGainTop);
    for (int c = 0; c < used; ++c) {
        const float gain = lowestGain[static_cast<std::size_t>(c)];
        if (!std::isnan(gain)) {
            cairo_line_to(cr, plot::kLeft + c + 0.5, reduction.y(toDb(gain)));
        }
    }
    cairo_line_to(cr, plot::kLeft + used, plot::kGainTop);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);

    // Frames and the time axis.
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, plot::kLeft + 0.5, plot::kLevelTop + 0.5, plot::kColumns,
                    plot::kLevelBottom - plot::kLevelTop);
    cairo_rectangle(cr, plot::kLeft + 0.5, plot::kGainTop + 0.5, plot::kColumns,
                    plot::kGainBottom - plot::kGainTop);
    cairo_stroke(cr);
    const double pixelsPerSecond = static_cast<double>(rate) / columnFrames;
    const double step = niceStep(seconds(), 10);
    for (double t = 0.0; t <= seconds() + 1e-9; t += step) {
        const double x = std::round(plot::kLeft + t * pixelsPerSecond) + 0.5;
        cairo_move_to(cr, x, plot::kGainBottom);
        cairo_line_to(cr, x, plot::kGainBottom + 5);
        cairo_stroke(cr);
        text(cr, x, plot::kGainBottom + 18, printed(step < 1.0 ? "%.1f" : "%.0f", t), 11, false,
             0.5);
    }
    text(cr, plot::kLeft + plot::kColumns / 2.0, plot::kGainBottom + 40, "time (s)", 12, true, 0.5);

    cairo_destroy(cr);
    cairo_surface_flush(surface);
    int descriptor = fd;
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(surface, &writeToFile, &descriptor);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

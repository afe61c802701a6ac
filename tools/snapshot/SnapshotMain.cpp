// quorvel_snapshot: makes an effect, opens its editor in an offscreen host window, optionally
// runs some audio so the meters show something, paints once and writes the editor window's
// pixels to a PNG file.
//
//   quorvel_snapshot OUTPUT.png [--defaults]
//
// Without --defaults a short burst of a 440 Hz sine at -3 dB full scale goes through the
// plug-in first, so the input, gain and output bars are lit.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "editor/CompressorEditor.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginIdentity.h"

namespace {

void runAudio(CompressorEffect& effect) {
    constexpr int kBlock = 512;
    constexpr int kBlocks = 40;
    constexpr double kPi = 3.14159265358979323846;
    const double amplitude = std::pow(10.0, -3.0 / 20.0);
    std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    long frame = 0;
    for (int block = 0; block < kBlocks; ++block) {
        for (int i = 0; i < kBlock; ++i, ++frame) {
            const double sample = amplitude * std::sin(2.0 * kPi * 440.0 * frame / 44100.0);
            left[i] = static_cast<float>(sample);
            right[i] = static_cast<float>(sample);
        }
        effect.processReplacing(inputs, outputs, kBlock);
    }
}

bool writePng(const offscreen::Image& image, const char* path) {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, image.width);
    std::vector<unsigned char> data(static_cast<std::size_t>(stride) * image.height);
    for (int y = 0; y < image.height; ++y) {
        // RGB24 is one native-endian 32-bit word per pixel, 0x00RRGGBB: the offscreen format.
        std::memcpy(data.data() + static_cast<std::size_t>(y) * stride,
                    image.pixels.data() + static_cast<std::size_t>(y) * image.width,
                    static_cast<std::size_t>(image.width) * 4);
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        data.data(), CAIRO_FORMAT_RGB24, image.width, image.height, stride);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "quorvel_snapshot: cannot write %s: %s\n", path,
                     cairo_status_to_string(status));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--defaults") != 0)) {
        std::fprintf(stderr, "usage: quorvel_snapshot OUTPUT.png [--defaults]\n");
        return 2;
    }
    const bool withAudio = argc == 2;

    auto effect = std::make_unique<CompressorEffect>(nullptr);
    auto* editor = static_cast<CompressorEditor*>(effect->editorPointer());
    if (editor == nullptr) {
        std::fprintf(stderr, "quorvel_snapshot: the effect has no editor\n");
        return 1;
    }
    if (withAudio) {
        runAudio(*effect);
    }

    const HWND host =
        offscreen::createHostWindow(identity::kEditorWidth + 40, identity::kEditorHeight + 40);
    AEffect* record = effect->getAeffect();
    record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f);
    record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
    const HWND window = editor->windowHandle();
    offscreen::pumpPaint(window);
    const offscreen::Image image = offscreen::windowImage(window);
    record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(host);

    if (image.width != identity::kEditorWidth || image.height != identity::kEditorHeight) {
        std::fprintf(stderr, "quorvel_snapshot: no editor window was painted\n");
        return 1;
    }
    return writePng(image, argv[1]) ? 0 : 1;
}

// The Win32 stand-in itself: the Win32 rules the editor tests rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/include/StandInTest.h"

namespace {

namespace st = standin::test;

struct Message {
    HWND window;
    UINT message;
    LPARAM lParam;
};
std::vector<Message> received;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({window, message, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

constexpr const char* kTestClass = "StandInTestClass";
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x4000));

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        st::clearRecords();
        received.clear();
        baseline = st::liveObjects();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = recordingProc;
        windowClass.hInstance = kInstance;
        windowClass.lpszClassName = kTestClass;
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        host = st::createHostWindow(100, 100);
    }

    void TearDown() override {
        DestroyWindow(host);
        EXPECT_TRUE(UnregisterClassA(kTestClass, kInstance));
        EXPECT_TRUE(st::liveObjects() == baseline);
    }

    HWND child(int width = 40, int height = 30) {
        return CreateWindowExA(0, kTestClass, "child", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                               host, nullptr, kInstance, nullptr);
    }

    std::vector<UINT> messagesTo(HWND window) const {
        std::vector<UINT> list;
        for (const Message& m : received) {
            if (m.window == window) {
                list.push_back(m.message);
            }
        }
        return list;
    }

    HWND host = nullptr;
    st::LiveObjects baseline;
};

// A bitmap in a memory DC, with each pixel set from a function of (x, y).
struct PaintedBitmap {
    template <typename Pixel> PaintedBitmap(HDC reference, int width, int height, Pixel pixel) {
        bitmap = CreateCompatibleBitmap(reference, width, height);
        dc = CreateCompatibleDC(reference);
        previous = SelectObject(dc, bitmap);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const RECT one = {x, y, x + 1, y + 1};
                const HBRUSH brush = CreateSolidBrush(pixel(x, y));
                FillRect(dc, &one, brush);
                DeleteObject(brush);
            }
        }
    }
    ~PaintedBitmap() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ previous;
};

TEST_F(StandInTest, WindowCreationAndDestructionSendTheMessagesInOrder) {
    const HWND window = child();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(messagesTo(window), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    const st::WindowInfo info = st::windowInfo(window);
    EXPECT_TRUE(info.invalid); // a visible window starts with everything to paint
    EXPECT_TRUE(info.erasePending);

    received.clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(messagesTo(window), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(st::diagnostics().size(), 1u);
    st::clearRecords();

    // A child needs a parent that exists, and the class must be registered for the instance.
    EXPECT_EQ(CreateWindowExA(0, kTestClass, "", WS_CHILD, 0, 0, 5, 5, nullptr, nullptr, kInstance,
                              nullptr),
              nullptr);
    EXPECT_EQ(
        CreateWindowExA(0, kTestClass, "", WS_CHILD, 0, 0, 5, 5, host, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(st::diagnostics().size(), 2u);
    st::clearRecords();
}

TEST_F(StandInTest, ClassesRegisterOnceAndUnregisterOnlyWithoutWindows) {
    WNDCLASSA again{};
    again.lpfnWndProc = recordingProc;
    again.hInstance = kInstance;
    again.lpszClassName = "standintestclass"; // names compare without case
    EXPECT_EQ(RegisterClassA(&again), 0);

    const HWND window = child();
    EXPECT_FALSE(UnregisterClassA(kTestClass, kInstance));
    EXPECT_TRUE(st::classInfo(kTestClass, kInstance).registered);
    DestroyWindow(window);
    const st::ClassCalls calls = st::classCalls(kTestClass);
    EXPECT_EQ(calls.registerCalls, 2);
    EXPECT_EQ(calls.registerFailures, 1);
    EXPECT_EQ(calls.unregisterFailures, 1);
    EXPECT_EQ(st::diagnostics().size(), 2u);
    st::clearRecords();
}

TEST_F(StandInTest, CaptureChangesAreToldToTheWindowLosingIt) {
    const HWND a = child();
    const HWND b = child();
    received.clear();
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(b), a);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].window, a);
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_CAPTURECHANGED));
    EXPECT_EQ(received[0].lParam, reinterpret_cast<LPARAM>(b));

    received.clear();
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].window, b);
    EXPECT_EQ(received[0].lParam, 0);

    // Destroying the window that holds the capture releases it first.
    SetCapture(a);
    received.clear();
    DestroyWindow(a);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(messagesTo(a), (std::vector<UINT>{WM_CAPTURECHANGED, WM_DESTROY, WM_NCDESTROY}));
    DestroyWindow(b);
}

TEST_F(StandInTest, PaintDcsDrawOnlyInsideTheUpdateRegion) {
    const HWND window = child(40, 30);
    st::validate(window);
    const RECT part = {10, 5, 20, 15};
    InvalidateRect(window, &part, FALSE);
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    EXPECT_EQ(paint.rcPaint.left, 10);
    EXPECT_EQ(paint.rcPaint.bottom, 15);
    EXPECT_FALSE(st::windowInfo(window).invalid);
    const RECT all = {0, 0, 40, 30};
    const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(dc, &all, brush);
    EndPaint(window, &paint);
    DeleteObject(brush);
    const st::Image image = st::windowImage(window);
    EXPECT_EQ(image.at(10, 5), 0x010203u);
    EXPECT_EQ(image.at(19, 14), 0x010203u);
    EXPECT_EQ(image.at(20, 14), 0u);
    EXPECT_EQ(image.at(9, 5), 0u);
    DestroyWindow(window);
}

TEST_F(StandInTest, FillRectExcludesTheRightAndBottomEdges) {
    const HWND window = child();
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window, &paint);
    {
        PaintedBitmap canvas(windowDc, 8, 8, [](int, int) { return RGB(0, 0, 0); });
        const HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
        const RECT area = {2, 3, 5, 4};
        const RECT empty = {6, 1, 6, 7};
        const RECT backwards = {7, 1, 6, 7};
        FillRect(canvas.dc, &area, brush);
        FillRect(canvas.dc, &empty, brush);
        FillRect(canvas.dc, &backwards, brush);
        DeleteObject(brush);
        const st::Image image = st::bitmapImage(canvas.bitmap);
        int filled = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool inside = x >= 2 && x < 5 && y == 3;
                EXPECT_EQ(image.at(x, y), inside ? 0xC86432u : 0u) << x << "," << y;
                filled += inside ? 1 : 0;
            }
        }
        EXPECT_EQ(filled, 3);
    }
    EndPaint(window, &paint);
    DestroyWindow(window);
}

TEST_F(StandInTest, BitBltCopiesWithClippingAndMemoryDcsStartMonochrome) {
    const HWND window = child();
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window, &paint);
    {
        const auto colourAt = [](int x, int y) { return RGB(x * 10, y * 10, 7); };
        PaintedBitmap source(windowDc, 6, 4, colourAt);
        PaintedBitmap target(windowDc, 5, 5, [](int, int) { return RGB(255, 255, 255); });
        // Source rectangle partly outside the source, destination partly outside the target.
        EXPECT_TRUE(BitBlt(target.dc, 2, -1, 6, 6, source.dc, 3, 0, SRCCOPY));
        const st::Image image = st::bitmapImage(target.bitmap);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 5; ++x) {
                const int sx = x - 2 + 3;
                const int sy = y + 1;
                const bool copied = x >= 2 && sx < 6 && sy < 4;
                EXPECT_EQ(image.at(x, y), copied ? st::pixelOf(colourAt(sx, sy)) : 0xFFFFFFu)
                    << x << "," << y;
            }
        }

        // A bitmap compatible with a fresh memory DC is monochrome, as on Win32.
        const HDC memory = CreateCompatibleDC(windowDc);
        const HBITMAP mono = CreateCompatibleBitmap(memory, 4, 4);
        EXPECT_EQ(st::bitmapInfo(mono).bitsPerPixel, 1);
        DeleteObject(mono);
        DeleteDC(memory);
    }
    EndPaint(window, &paint);
    DestroyWindow(window);
}

TEST_F(StandInTest, SelectedObjectsCannotBeDeletedAndSelectionsLeftBehindAreNoted) {
    const HWND window = child();
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window, &paint);
    const HDC memory = CreateCompatibleDC(windowDc);
    const HDC other = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 2, 2);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    EXPECT_NE(previous, nullptr);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr); // one DC at a time
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(st::bitmapInfo(bitmap).selectedInto, memory);
    EXPECT_EQ(st::dcsWithSelections(), 1);
    EXPECT_EQ(st::diagnostics().size(), 2u);
    st::clearRecords();

    DeleteDC(memory); // with the bitmap still in
    EXPECT_EQ(st::diagnostics().size(), 1u);
    EXPECT_EQ(st::bitmapInfo(bitmap).selectedInto, nullptr);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap)); // twice
    EXPECT_EQ(st::diagnostics().size(), 2u);
    st::clearRecords();
    DeleteDC(other);
    EndPaint(window, &paint);
    DestroyWindow(window);
}

TEST_F(StandInTest, TextIsDrawnWithTheBuiltInFontAndRecorded) {
    const HWND window = child();
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window, &paint);
    {
        PaintedBitmap canvas(windowDc, 20, 12, [](int, int) { return RGB(9, 9, 9); });
        const HFONT font = CreateFontA(10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Any");
        const HGDIOBJ previousFont = SelectObject(canvas.dc, font);
        SetBkMode(canvas.dc, TRANSPARENT);
        SetTextColor(canvas.dc, RGB(255, 0, 0));
        EXPECT_TRUE(TextOutA(canvas.dc, 1, 1, "I-x", 2)); // the length counts, not the string
        SelectObject(canvas.dc, previousFont);
        DeleteObject(font);

        ASSERT_EQ(st::textRecords().size(), 1u);
        const st::TextRecord& text = st::textRecords()[0];
        EXPECT_EQ(text.text, "I-");
        EXPECT_EQ(text.font, font);
        EXPECT_EQ(text.targetBitmap, canvas.bitmap);
        EXPECT_EQ(text.bkMode, TRANSPARENT);

        // 'I' is a centred bar; '-' a horizontal line in the next cell. Nothing else is inked.
        const st::Image image = st::bitmapImage(canvas.bitmap);
        int red = 0;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 20; ++x) {
                const std::uint32_t pixel = image.at(x, y);
                EXPECT_TRUE(pixel == 0xFF0000u || pixel == 0x090909u);
                red += pixel == 0xFF0000u ? 1 : 0;
                if (pixel == 0xFF0000u) {
                    EXPECT_LT(x, 1 + 2 * st::kGlyphAdvance);
                }
            }
        }
        EXPECT_EQ(image.at(1 + 2, 2), 0xFF0000u); // top of the 'I' bar
        EXPECT_EQ(image.at(1 + 2, 8), 0xFF0000u); // bottom of the 'I' bar
        EXPECT_EQ(image.at(1 + 6, 5), 0xFF0000u); // the '-'
        EXPECT_EQ(image.at(1 + 6, 4), 0x090909u);
        EXPECT_EQ(red, 7 + 4 + 5); // 'I': 7 bar + 2 x 2 serifs; '-': 5
    }
    EndPaint(window, &paint);
    DestroyWindow(window);
}

// A .bmp file: 14-byte file header, 40-byte info header, optional palette, rows.
std::vector<std::uint8_t> bmpFile(int width, int height, int bits,
                                  const std::vector<std::uint8_t>& palette,
                                  const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> file(54);
    const auto put32 = [&file](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(54 + palette.size() + rows.size()));
    put32(10, static_cast<std::uint32_t>(54 + palette.size()));
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = static_cast<std::uint8_t>(bits);
    put32(46, static_cast<std::uint32_t>(palette.size() / 4));
    file.insert(file.end(), palette.begin(), palette.end());
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

TEST(StandInBitmapFile, DecodesBottomUpTopDownAndPalettedFiles) {
    // 3 x 2, 24 bits: rows padded to 12 bytes, stored bottom row first, blue-green-red.
    const std::vector<std::uint8_t> bottomUp =
        bmpFile(3, 2, 24, {},
                {
                    1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,
                });
    HBITMAP bitmap = st::loadBitmapFromFile(bottomUp.data(), bottomUp.size());
    ASSERT_NE(bitmap, nullptr);
    st::Image image = st::bitmapImage(bitmap);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.at(0, 0), 0x0C0B0Au);
    EXPECT_EQ(image.at(2, 0), 0x121110u);
    EXPECT_EQ(image.at(0, 1), 0x030201u);
    EXPECT_EQ(image.at(2, 1), 0x090807u);
    DeleteObject(bitmap);

    // 2 x 2, 32 bits, negative height: top row first; the fourth byte is ignored.
    const std::vector<std::uint8_t> topDown =
        bmpFile(2, -2, 32, {}, {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99});
    bitmap = st::loadBitmapFromFile(topDown.data(), topDown.size());
    ASSERT_NE(bitmap, nullptr);
    image = st::bitmapImage(bitmap);
    EXPECT_EQ(image.at(0, 0), 0x030201u);
    EXPECT_EQ(image.at(1, 1), 0x0C0B0Au);
    DeleteObject(bitmap);

    // 8 bits with a two-entry palette; rows padded to 4 bytes.
    const std::vector<std::uint8_t> paletted =
        bmpFile(2, 1, 8, {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0}, {1, 0, 0, 0});
    bitmap = st::loadBitmapFromFile(paletted.data(), paletted.size());
    ASSERT_NE(bitmap, nullptr);
    image = st::bitmapImage(bitmap);
    EXPECT_EQ(image.at(0, 0), 0x605040u);
    EXPECT_EQ(image.at(1, 0), 0x302010u);
    DeleteObject(bitmap);

    // Truncated pixel data and compressed files are refused.
    std::vector<std::uint8_t> truncated = bottomUp;
    truncated.resize(truncated.size() - 1);
    EXPECT_EQ(st::loadBitmapFromFile(truncated.data(), truncated.size()), nullptr);
    std::vector<std::uint8_t> compressed = bottomUp;
    compressed[30] = 1;
    EXPECT_EQ(st::loadBitmapFromFile(compressed.data(), compressed.size()), nullptr);
}

} // namespace

// Bitmap resources for the stand-in: LoadBitmapA serves the library's embedded .bmp files by
// id, decoded into 32-bit bitmaps as Win32 does when it loads a bitmap for the display.
#include <string>

#include "platform/ModuleBitmaps.h"
#include "platform/ModuleHandle.h"
#include "platform/standin/StandInState.h"

using namespace standin::detail;

namespace standin::detail {

std::uintptr_t decodeBitmapFile(const std::uint8_t* data, std::size_t size) {
    DecodedBitmap decoded;
    if (!::decodeBitmapFile(data, size, decoded)) {
        return 0;
    }
    return addBitmap(decoded.width, decoded.height, 32, std::move(decoded.pixels));
}

} // namespace standin::detail

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR bitmapName) {
    const auto nameValue = reinterpret_cast<ULONG_PTR>(bitmapName);
    if (instance != moduleHandle() || (nameValue >> 16) != 0) {
        // Only this library's own resources, by integer id, exist here.
        diagnose("LoadBitmapA", "no such bitmap resource in this module");
        return nullptr;
    }
    DecodedBitmap decoded;
    if (!loadModuleBitmap(static_cast<int>(nameValue), decoded)) {
        diagnose("LoadBitmapA", "no readable bitmap resource " + std::to_string(nameValue));
        return nullptr;
    }
    return reinterpret_cast<HBITMAP>(
        addBitmap(decoded.width, decoded.height, 32, std::move(decoded.pixels)));
}

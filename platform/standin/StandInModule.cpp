#include "platform/include/StandInModule.h"

namespace {
// A distinct, non-null address that stands for this library's module.
char moduleToken;
} // namespace

HINSTANCE standInModuleInstance() {
    return reinterpret_cast<HINSTANCE>(&moduleToken);
}

// The stand-in has no event source of its own: tests deliver messages and pump paints as the
// host's message loop does on Windows.
#include "platform/WindowEvents.h"

void dispatchWindowEvents(HWND) {}

bool reportEditorOpened(HWND) {
    return true;
}

// One input of the fuzz targets that drive the editor on the offscreen window system: the session
// runs from clean records, then nothing of the editor may be left (no class use or class, no
// editor window, no window or GDI object alive, no DC with a selection, no capture) and the
// Win32 layer may have seen no misuse but what the target's own host explains.
#pragma once

#include <cstdint>
#include <string>

#include "editor/CompressorEditor.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ModuleHandle.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/PluginIdentity.h"

namespace fuzzing {

template <class Session>
int runEditorSession(const std::uint8_t* data, std::size_t size,
                     bool (*explainedByHost)(const std::string&)) {
    namespace st = offscreen;
    st::clearRecords();
    const st::LiveObjects before = st::liveObjects();
    {
        Input in(data, size);
        Session session(in);
        session.run();
    }
    FUZZ_CHECK(editorClassUseCount == 0);
    FUZZ_CHECK(!st::classInfo(identity::kEditorClassName, moduleHandle()).registered);
    FUZZ_CHECK(st::windowsOfClass(identity::kEditorClassName).empty());
    FUZZ_CHECK(st::liveObjects() == before);
    FUZZ_CHECK(st::dcsWithSelections() == 0);
    FUZZ_CHECK(GetCapture() == nullptr);
    for (const std::string& diagnostic : st::diagnostics()) {
        if (!explainedByHost(diagnostic)) {
            std::fprintf(stderr, "offscreen: %s\n", diagnostic.c_str());
            FUZZ_CHECK(explainedByHost(diagnostic));
        }
    }
    st::clearRecords();
    return 0;
}

} // namespace fuzzing

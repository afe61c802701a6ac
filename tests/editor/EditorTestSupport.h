// Shared set-up for the editor tests: an effect with a recording host callback, an offscreen
// host window to open the editor in, and the checks every test ends with (nothing leaked,
// nothing left selected, no misuse of the Win32 calls, the host told nothing).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/CompressorEditor.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginIdentity.h"
#include "tests/support/HostRecorder.h"

namespace editortest {

namespace st = offscreen;

inline std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    return all;
}

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        st::clearRecords();
        baseline = st::liveObjects();
        useCountBefore = editorClassUseCount;
        HostRecorder::instance().reset();
        host = st::createHostWindow(identity::kEditorWidth + 20, identity::kEditorHeight + 20);
        effect.reset(new CompressorEffect(&HostRecorder::callback));
        ASSERT_NE(effect->editorPointer(), nullptr);
    }

    void TearDown() override {
        effect.reset();
        if (host != nullptr) {
            DestroyWindow(host);
        }
        EXPECT_EQ(editorClassUseCount, useCountBefore);
        EXPECT_TRUE(st::liveObjects() == baseline) << "windows, DCs or GDI objects leaked";
        EXPECT_EQ(st::dcsWithSelections(), 0);
        EXPECT_TRUE(st::diagnostics().empty()) << joined(st::diagnostics());
        EXPECT_TRUE(HostRecorder::instance().calls.empty()) << "the host was called";
    }

    CompressorEditor& editor() { return *static_cast<CompressorEditor*>(effect->editorPointer()); }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }

    HWND open() {
        EXPECT_EQ(dispatch(effEditOpen, 0, 0, host), 1);
        return editor().windowHandle();
    }

    void close() { EXPECT_EQ(dispatch(effEditClose), 0); }

    // Opens the editor if needed, invalidates it as the host's idle call does, and paints.
    HWND openAndPaint() {
        HWND window = editor().windowHandle();
        if (window == nullptr) {
            window = open();
        }
        dispatch(effEditIdle);
        EXPECT_TRUE(st::pumpPaint(window));
        return window;
    }

    void set(ParameterIndex index, float value) { effect->core.setParameterValue(index, value); }
    float value(ParameterIndex index) const { return effect->core.parameter(index); }

    // What the last paint wrote into the back buffer.
    std::vector<st::TextRecord> panelText() const {
        std::vector<st::TextRecord> lines;
        const HBITMAP backBuffer = editorConst().backBufferHandle();
        for (const st::TextRecord& record : st::textRecords()) {
            if (record.targetBitmap == backBuffer) {
                lines.push_back(record);
            }
        }
        return lines;
    }

    std::vector<st::FillRecord> barFills() const {
        std::vector<st::FillRecord> fills;
        for (const st::FillRecord& record : st::fillRecords()) {
            if (record.targetBitmap == editorConst().backBufferHandle()) {
                fills.push_back(record);
            }
        }
        return fills;
    }

    const CompressorEditor& editorConst() const {
        return *static_cast<const CompressorEditor*>(effect->editorPointer());
    }

    HWND host = nullptr;
    std::unique_ptr<CompressorEffect> effect;
    st::LiveObjects baseline;
    int useCountBefore = 0;
};

} // namespace editortest

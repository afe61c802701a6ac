// The editor object and its window: resources, the window class and its use count, the window
// itself, odd host orders, and the dispatcher's editor rows.
#include <utility>

#include "platform/ModuleHandle.h"
#include "tests/editor/EditorTestSupport.h"

namespace {

using editortest::EditorFixture;
namespace st = offscreen;

constexpr const char* kClass = "VSTEditorClass";

int registerCalls() {
    return st::classCalls(kClass).registerCalls;
}
int unregisterCalls() {
    return st::classCalls(kClass).unregisterCalls;
}
bool classRegistered() {
    return st::classInfo(kClass, moduleHandle()).registered;
}

class EditorLifecycleTest : public EditorFixture {};

TEST_F(EditorLifecycleTest, TheEditorLoadsItsResourcesWhenItFirstOpens) {
    EXPECT_EQ(effect->getAeffect()->flags, 25);
    // A host scanning the plug-in makes instances and never opens them: nothing is made.
    EXPECT_EQ(editor().fontHandle(), nullptr);
    EXPECT_EQ(editor().backgroundHandle(), nullptr);
    EXPECT_TRUE(st::liveObjects() == [this] {
        st::LiveObjects withHost = baseline;
        ++withHost.windows;
        return withHost;
    }());
    open();
    close();
    const st::BitmapInfo background = st::bitmapInfo(editor().backgroundHandle());
    const st::BitmapInfo strip = st::bitmapInfo(editor().knobStripHandle());
    const st::BitmapInfo lamp = st::bitmapInfo(editor().lampHandle());
    EXPECT_EQ(std::make_pair(background.width, background.height), std::make_pair(550, 170));
    EXPECT_EQ(std::make_pair(strip.width, strip.height), std::make_pair(7095, 55));
    EXPECT_EQ(std::make_pair(lamp.width, lamp.height), std::make_pair(20, 16));
    EXPECT_TRUE(st::fontInfo(editor().fontHandle()).exists);
    EXPECT_EQ(editor().windowHandle(), nullptr);
    EXPECT_EQ(editor().backBufferHandle(), nullptr);
    EXPECT_EQ(editor().owningEffect(), effect.get());
    EXPECT_EQ(editor().draggedKnob(), 0);
    EXPECT_EQ(editor().dragY(), 0);

    // Deleting the effect deletes all five GDI objects, the back buffer included.
    openAndPaint();
    close();
    effect.reset();
    EXPECT_TRUE(st::liveObjects() == [this] {
        st::LiveObjects withHost = baseline;
        ++withHost.windows;
        return withHost;
    }());
}

TEST_F(EditorLifecycleTest, OpenCreatesTheChildWindowOfTheRegisteredClass) {
    const HWND window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(editorClassUseCount, useCountBefore + 1);
    EXPECT_TRUE(editor().isOpen());
    EXPECT_EQ(editor().parent(), host);

    const st::ClassInfo info = st::classInfo(kClass, moduleHandle());
    ASSERT_TRUE(info.registered);
    EXPECT_EQ(info.style, 0u);
    EXPECT_EQ(info.windowProc, &editorWindowProc);
    EXPECT_EQ(info.classExtra, 0);
    EXPECT_EQ(info.windowExtra, 0);
    EXPECT_EQ(info.icon, nullptr);
    EXPECT_EQ(info.cursor, nullptr);
    EXPECT_EQ(info.background, nullptr);
    EXPECT_FALSE(info.hasMenuName);

    const st::WindowInfo window_ = st::windowInfo(window);
    EXPECT_EQ(window_.className, kClass);
    EXPECT_EQ(window_.title, "Window");
    EXPECT_EQ(window_.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(window_.exStyle, 0u);
    EXPECT_EQ(window_.x, 0);
    EXPECT_EQ(window_.y, 0);
    EXPECT_EQ(window_.width, 550);
    EXPECT_EQ(window_.height, 170);
    EXPECT_EQ(window_.parent, host);
    EXPECT_EQ(window_.menu, nullptr);
    EXPECT_EQ(window_.instance, moduleHandle());
    EXPECT_EQ(window_.createParam, nullptr);
    EXPECT_EQ(window_.userData, reinterpret_cast<LONG_PTR>(&editor()));

    // As on Win32, which the use count relies on: a class is registered once per module,
    // whatever the case of its name, and stays while a window of it exists.
    WNDCLASSA again{};
    again.lpfnWndProc = DefWindowProcA;
    again.hInstance = moduleHandle();
    again.lpszClassName = "vsteditorclass";
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_FALSE(UnregisterClassA(kClass, moduleHandle()));
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(st::classCalls(kClass).registerFailures, 1);
    EXPECT_EQ(st::classCalls(kClass).unregisterFailures, 1);
    EXPECT_EQ(st::diagnostics().size(), 2u) << editortest::joined(st::diagnostics());
    st::clearRecords();

    close();
    EXPECT_FALSE(st::windowInfo(window).exists);
    EXPECT_EQ(editor().windowHandle(), nullptr);
    EXPECT_FALSE(classRegistered());
}

TEST_F(EditorLifecycleTest, TwoInstancesShareOneClassRegistration) {
    std::unique_ptr<CompressorEffect> second(new CompressorEffect(&HostRecorder::callback));
    AEffect* secondRecord = second->getAeffect();
    const auto secondDispatch = [secondRecord](VstInt32 opcode, void* ptr) {
        return secondRecord->dispatcher(secondRecord, opcode, 0, 0, ptr, 0.0f);
    };

    open();
    EXPECT_EQ(secondDispatch(effEditOpen, host), 1);
    EXPECT_EQ(registerCalls(), 1);
    EXPECT_EQ(editorClassUseCount, useCountBefore + 2);
    EXPECT_EQ(st::windowsOfClass(kClass).size(), 2u);

    close();
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(unregisterCalls(), 0);
    secondDispatch(effEditClose, nullptr);
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(unregisterCalls(), 1);
    EXPECT_EQ(editorClassUseCount, useCountBefore);

    open();
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(registerCalls(), 2);
    close();
    second.reset();
    EXPECT_EQ(st::classCalls(kClass).registerFailures + st::classCalls(kClass).unregisterFailures,
              0);
}

TEST_F(EditorLifecycleTest, CloseWithoutOpenDoesNothing) {
    close();
    close();
    EXPECT_EQ(editorClassUseCount, useCountBefore);
    EXPECT_EQ(unregisterCalls(), 0);

    open();
    close();
    close(); // a second close gives nothing back twice
    EXPECT_EQ(editorClassUseCount, useCountBefore);
    EXPECT_EQ(unregisterCalls(), 1);
}

TEST_F(EditorLifecycleTest, OpenTwiceReplacesTheWindow) {
    const HWND first = open();
    const HWND second = open();
    EXPECT_FALSE(st::windowInfo(first).exists);
    EXPECT_TRUE(st::windowInfo(second).exists);
    EXPECT_EQ(st::windowsOfClass(kClass), std::vector<HWND>{second});
    EXPECT_EQ(editorClassUseCount, useCountBefore + 1);
    close();
    EXPECT_EQ(editorClassUseCount, useCountBefore);
    EXPECT_FALSE(classRegistered());
    EXPECT_TRUE(st::windowsOfClass(kClass).empty());
}

TEST_F(EditorLifecycleTest, DeletingTheEffectWithTheWindowOpenTakesTheWindowDown) {
    std::unique_ptr<CompressorEffect> other(new CompressorEffect(&HostRecorder::callback));
    AEffect* otherRecord = other->getAeffect();
    otherRecord->dispatcher(otherRecord, effEditOpen, 0, 0, host, 0.0f);

    const HWND window = open();
    st::sendMouse(window, WM_LBUTTONDOWN, 40, 80); // a drag holds the capture
    ASSERT_EQ(st::captureWindow(), window);
    effect.reset();
    EXPECT_FALSE(st::windowInfo(window).exists);
    EXPECT_EQ(st::captureWindow(), nullptr);
    EXPECT_EQ(editorClassUseCount, useCountBefore + 1);
    EXPECT_TRUE(classRegistered()); // the other instance's window still uses it

    other.reset();
    EXPECT_EQ(editorClassUseCount, useCountBefore);
    EXPECT_FALSE(classRegistered());
    EXPECT_TRUE(st::windowsOfClass(kClass).empty());
}

TEST_F(EditorLifecycleTest, TheHostDestroyingItsWindowFirstLeavesNoStaleHandle) {
    const HWND window = open();
    DestroyWindow(host); // takes the editor's child window with it
    host = nullptr;
    EXPECT_FALSE(st::windowInfo(window).exists);
    EXPECT_EQ(editor().windowHandle(), nullptr);
    EXPECT_EQ(dispatch(effEditIdle), 0); // nothing to invalidate
    EXPECT_TRUE(classRegistered());      // the use lasts until the close
    close();
    EXPECT_EQ(editorClassUseCount, useCountBefore);
    EXPECT_FALSE(classRegistered());
    EXPECT_TRUE(st::diagnostics().empty()) << editortest::joined(st::diagnostics());
}

TEST_F(EditorLifecycleTest, DispatcherEditorRows) {
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1); // before any open
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect, &editorRect);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 170);
    EXPECT_EQ(rect->right, 550);

    std::unique_ptr<CompressorEffect> other(new CompressorEffect(&HostRecorder::callback));
    AEffect* otherRecord = other->getAeffect();
    ERect* otherRect = nullptr;
    otherRecord->dispatcher(otherRecord, effEditGetRect, 0, 0, &otherRect, 0.0f);
    EXPECT_EQ(otherRect, rect);
    other.reset();

    EXPECT_EQ(dispatch(effEditKeyDown, 'a', 0x41, nullptr, 0.0f), -1);
    EXPECT_EQ(dispatch(effEditKeyUp, 'a', 0x41, nullptr, 0.0f), -1);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 0);
    EXPECT_EQ(dispatch(effEditIdle), 0); // closed: nothing to invalidate

    const HWND window = open();
    st::validate(window);
    st::clearRecords();
    ASSERT_EQ(editor().isUpdatePending(), 0);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(st::windowInfo(window).invalidations, 1);
    EXPECT_TRUE(st::windowInfo(window).invalid);
    EXPECT_FALSE(st::windowInfo(window).erasePending);

    // A pending update adds a second invalidation and is cleared.
    editor().postUpdate();
    dispatch(effEditIdle);
    EXPECT_EQ(st::windowInfo(window).invalidations, 3);
    EXPECT_EQ(editor().isUpdatePending(), 0);
    close();

    editor().postUpdate();
    dispatch(effEditIdle); // no window: the pending update goes nowhere
    EXPECT_EQ(editor().isUpdatePending(), 0);
}

TEST_F(EditorLifecycleTest, MessagesBeforeTheEditorIsAttachedGetDefaultHandling) {
    const HWND window = open();
    // Detached, the procedure only forwards to the default: a paint validates without drawing.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    st::clearRecords();
    ASSERT_TRUE(st::pumpPaint(window));
    EXPECT_TRUE(st::blitRecords().empty());
    EXPECT_FALSE(st::windowInfo(window).invalid);
    st::sendMouse(window, WM_LBUTTONDOWN, 40, 80);
    EXPECT_EQ(editor().draggedKnob(), 0);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&editor()));
    close();
}

} // namespace

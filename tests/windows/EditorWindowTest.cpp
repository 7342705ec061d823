// The editor in a host's window on Windows, through the DLL's binary
// interface: a top-level window of this test plays the host's, its message
// loop runs between effEditIdle calls, and input comes as a user's does,
// through SendInput. VEXAL_PICTURE_DIR names a folder for the window's
// pictures as the screen shows them, for comparison with the Linux build's
// drawing (the system's temporary folder without it).
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/TestHost.h"

namespace {

using testhost::Instance;
using testhost::TestHost;

constexpr int kWidth = 524;
constexpr int kHeight = 462;
constexpr int32_t kPowerParameter = 8;
constexpr POINT kPowerCentre{262, 417};
constexpr POINT kManualButton{515, 453};
constexpr POINT kDriveField{80, 418};
constexpr int32_t kDriveParameter = 1;

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LRESULT CALLBACK hostProcedure(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> found;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) found.push_back(c);
    return found;
}

// 32-bit pixels, top row first.
BITMAPINFOHEADER header() {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = kWidth;
    h.biHeight = -kHeight;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    return h;
}

// The window's pixels as the screen shows them, 0x00RRGGBB, top row first.
std::vector<uint32_t> screenPicture(HWND window) {
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader = header();
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kWidth, kHeight, source, 0, 0, SRCCOPY);
    GdiFlush();
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<const uint32_t*>(bits)[i] & 0xffffff;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return pixels;
}

void saveBmp(const std::vector<uint32_t>& pixels, const std::string& path) {
    BITMAPFILEHEADER file{};
    const BITMAPINFOHEADER info = header();
    const DWORD data = static_cast<DWORD>(pixels.size() * 4);
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + data;
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr) << path;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 4, pixels.size(), out);
    std::fclose(out);
}

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW c{};
        c.lpfnWndProc = hostProcedure;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hbrBackground = CreateSolidBrush(RGB(0x20, 0x30, 0x40));
        c.lpszClassName = L"VexalTestHost";
        RegisterClassW(&c);
        parent = makeParent();
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        if (IsWindow(parent)) DestroyWindow(parent);
        pumpMessages();
    }

    static HWND makeParent() {
        HWND w = CreateWindowExW(0, L"VexalTestHost", L"host", WS_POPUP | WS_VISIBLE, 40, 40, 600, 500, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(w);
        pumpMessages();
        return w;
    }

    void prepare(Instance& fx) {
        fx.setSampleRate(44100.0f);
        fx.setBlockSize(512);
        fx.resume();
    }
    intptr_t open(Instance& fx, HWND window) { return fx.dispatch(vst::effEditOpen, 0, 0, window); }
    // A prepared instance's editor opened in the host's window and left to
    // settle for `ms`: its window, or null when it did not open as one child.
    HWND openSettled(Instance& fx, int ms) {
        prepare(fx);
        if (open(fx, parent) != 1) return nullptr;
        idleFor(fx, ms);
        const auto children = childrenOf(parent);
        return children.size() == 1 ? children[0] : nullptr;
    }

    // The host's loop: messages, then idle, about every 10 ms.
    void idleFor(Instance& fx, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            pumpMessages();
            fx.dispatch(vst::effEditIdle);
            Sleep(10);
        }
    }
    bool idleUntil(Instance& fx, const std::function<bool()>& done, int ms = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (done()) return true;
            idleFor(fx, 10);
        }
        return done();
    }
    std::vector<float> automationOf(int32_t index) {
        std::vector<float> values;
        for (const auto& c : host.calls())
            if (c.opcode == vst::audioMasterAutomate && c.index == index) values.push_back(c.opt);
        return values;
    }

    // A left click at a window point, as the system's input queue receives it.
    static void click(HWND window, POINT at) {
        ClientToScreen(window, &at);
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        INPUT input[3] = {};
        for (INPUT& i : input) {
            i.type = INPUT_MOUSE;
            i.mi.dx = (at.x * 65536 + w / 2) / w;
            i.mi.dy = (at.y * 65536 + h / 2) / h;
        }
        input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
        input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
        ASSERT_EQ(SendInput(3, input, sizeof(INPUT)), 3u);
    }

    // Keys as the keyboard sends them: a virtual key, or a character (as an
    // input method types it), down and up.
    static void key(WORD virtualKey, wchar_t character = 0) {
        INPUT input[2] = {};
        for (INPUT& i : input) {
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = character ? 0 : virtualKey;
            i.ki.wScan = character;
            i.ki.dwFlags = character ? KEYEVENTF_UNICODE : 0;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        ASSERT_EQ(SendInput(2, input, sizeof(INPUT)), 2u);
    }

    TestHost host;
    HWND parent = nullptr;
};

TEST_F(EditorWindowTest, OpenMakesOneChildOfTheAnsweredSizeAtTheOriginAndDrawsIt) {
    Instance fx(host);
    prepare(fx);
    vst::ERect* rect = nullptr;
    ASSERT_EQ(fx.dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, kWidth);
    EXPECT_EQ(rect->bottom - rect->top, kHeight);
    ASSERT_EQ(open(fx, parent), 1);
    const auto children = childrenOf(parent);
    ASSERT_EQ(children.size(), 1u);
    const HWND editor = children[0];
    RECT r;
    GetWindowRect(editor, &r);
    POINT origin{r.left, r.top};
    ScreenToClient(parent, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(r.right - r.left, kWidth);
    EXPECT_EQ(r.bottom - r.top, kHeight);
    EXPECT_NE(GetWindowLongW(editor, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_TRUE(IsWindowVisible(editor));

    idleFor(fx, 400);
    const auto picture = screenPicture(editor);
    // Drawn: the parent's colour shows nowhere, and the picture is not one colour.
    size_t parentPixels = 0, firstColour = 0;
    for (uint32_t p : picture) {
        parentPixels += p == 0x203040;
        firstColour += p == picture[0];
    }
    EXPECT_EQ(parentPixels, 0u);
    EXPECT_LT(firstColour, picture.size() / 2);

    // Painted again from the window's own copy when the system asks.
    InvalidateRect(editor, nullptr, FALSE);
    UpdateWindow(editor);
    EXPECT_EQ(screenPicture(editor), picture);
    fx.dispatch(vst::effEditClose);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_TRUE(childrenOf(parent).empty());
}

// The window's pictures in states that move every kind of bitmap view
// (knobs, switches, the power button), saved as editor-NAME.bmp; the lane
// compares them with the Linux build's drawing of the same states
// (vexal snapshot --raw I=V...). Programs are the preset bar's business
// (effSetProgram changes nothing), so states are set value by value.
struct PictureCase {
    const char* name;
    std::vector<std::pair<int32_t, float>> values;
};

const PictureCase kPictureCases[] = {
    {"default", {}},
    {"knobs", {{0, 0.9f}, {1, 0.625f}, {2, 0.4f}, {3, 0.61f}, {5, 0.5f}, {13, 0.5f}, {4, 0.5f}, {9, 0.165f},
               {10, 0.5f}, {11, 0.125f}}},
    {"switches", {{8, 0.0f}, {16, 1.0f}, {6, 1.0f}, {7, 1.0f}, {15, 1.0f}, {14, 1.0f}, {19, 1.0f}, {17, 1.0f},
                  {21, 1.0f}, {18, 0.25f}}},
};

TEST_F(EditorWindowTest, PicturesOfEveryKindOfViewAreSavedForComparison) {
    const char* given = std::getenv("VEXAL_PICTURE_DIR");
    char temp[MAX_PATH] = ".";
    if (!given) GetTempPathA(MAX_PATH, temp);
    const std::string folder = given ? given : temp;
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(c.name);
        Instance fx(host);
        prepare(fx);
        for (const auto& [index, value] : c.values) fx.setParameter(index, value);
        ASSERT_EQ(open(fx, parent), 1);
        idleFor(fx, 300);
        saveBmp(screenPicture(childrenOf(parent).at(0)), folder + "/editor-" + c.name + ".bmp");
        fx.dispatch(vst::effEditClose);
    }
}

TEST_F(EditorWindowTest, AClickOnPowerReachesTheHostAsAutomationOfParameter8AndTakesTheKeyboard) {
    Instance fx(host);
    const HWND editor = openSettled(fx, 200);
    ASSERT_NE(editor, nullptr);
    SetFocus(parent);
    const float expected[] = {0.25f, 0.75f};
    for (float value : expected) {
        SCOPED_TRACE(value);
        host.clearCalls();
        click(editor, kPowerCentre);
        ASSERT_TRUE(idleUntil(fx, [&] { return !automationOf(kPowerParameter).empty(); }));
        idleFor(fx, 100);
        const auto automation = automationOf(kPowerParameter);
        ASSERT_EQ(automation.size(), 1u);
        EXPECT_EQ(automation[0], value);
        EXPECT_EQ(fx.getParameter(kPowerParameter), value);
        EXPECT_EQ(host.countCalls(vst::audioMasterAutomate), 1) << "no other parameter moved";
        EXPECT_EQ(GetFocus(), editor);
        EXPECT_EQ(GetCapture(), nullptr) << "the mouse is released with the button";
    }
    fx.dispatch(vst::effEditClose);
}

TEST_F(EditorWindowTest, CloseAndReopenLeaveOneWorkingWindowAndNothingOfTheOld) {
    Instance fx(host);
    prepare(fx);
    std::vector<uint32_t> first;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(open(fx, parent), 1);
        idleFor(fx, round == 0 || round == 11 ? 300 : 40);
        const auto children = childrenOf(parent);
        ASSERT_EQ(children.size(), 1u);
        if (round == 0) {
            first = screenPicture(children[0]);
        } else if (round == 11) {
            EXPECT_EQ(screenPicture(children[0]), first) << "the same picture after reopening";
        }
        fx.dispatch(vst::effEditClose);
        EXPECT_FALSE(IsWindow(children[0]));
        // Messages for the closed window find nothing to run.
        idleFor(fx, 20);
    }
    ASSERT_EQ(open(fx, parent), 1);
    idleFor(fx, 100);
    host.clearCalls();
    click(childrenOf(parent).at(0), kPowerCentre);
    EXPECT_TRUE(idleUntil(fx, [&] { return !automationOf(kPowerParameter).empty(); }));
    fx.dispatch(vst::effEditClose);
}

TEST_F(EditorWindowTest, AHostThatDestroysItsWindowFirstCanCloseAndOpenAgain) {
    Instance fx(host);
    ASSERT_NE(openSettled(fx, 100), nullptr);
    DestroyWindow(parent);
    idleFor(fx, 100);
    fx.dispatch(vst::effEditClose);
    parent = makeParent();
    ASSERT_EQ(open(fx, parent), 1);
    idleFor(fx, 100);
    EXPECT_EQ(childrenOf(parent).size(), 1u);
    fx.dispatch(vst::effEditClose);
    EXPECT_EQ(open(fx, nullptr), 0) << "no parent, no window";
    EXPECT_EQ(open(fx, reinterpret_cast<HWND>(0x7ffff0)), 0) << "not a window";
}

TEST_F(EditorWindowTest, KeysTypedIntoTheDriveFieldReachItOnceAndEnterGivesTheKeyboardBack) {
    Instance fx(host);
    const HWND editor = openSettled(fx, 200);
    ASSERT_NE(editor, nullptr);
    SetFocus(parent);
    click(editor, kDriveField);
    ASSERT_TRUE(idleUntil(fx, [&] { return fx.dispatch(vst::effEditKeyUp, 0, 0) == 1; }))
        << "the field did not start editing";
    EXPECT_EQ(GetFocus(), editor);
    host.clearCalls();
    for (int i = 0; i < 12; ++i) key(VK_BACK);
    for (wchar_t c : std::wstring(L"-3.5")) key(0, c);
    key(VK_RETURN);
    ASSERT_TRUE(idleUntil(fx, [&] { return !automationOf(kDriveParameter).empty(); }));
    idleFor(fx, 100);
    const auto automation = automationOf(kDriveParameter);
    ASSERT_EQ(automation.size(), 1u);
    EXPECT_FLOAT_EQ(automation[0], (-3.5f + 24.0f) / 48.0f);
    EXPECT_EQ(fx.dispatch(vst::effEditKeyUp, 0, 0), 0) << "no longer editing";
    EXPECT_EQ(GetFocus(), parent) << "the keyboard back with the host's window";
    fx.dispatch(vst::effEditClose);
}

// The window class goes with the module that registered it: a host that
// unloads the plug-in leaves no class whose procedure is gone. A copy of the
// DLL is a module of its own, unloaded when its last instance goes.
TEST_F(EditorWindowTest, TheWindowClassIsUnregisteredWhenTheModuleUnloads) {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string copy = std::string(temp) + "ZVKVexal-class-test.dll";
    ASSERT_TRUE(CopyFileA(TestHost::defaultPluginPath().c_str(), copy.c_str(), FALSE));
    HMODULE module = nullptr;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        {
            TestHost other(copy);
            ASSERT_TRUE(other.loaded());
            module = static_cast<HMODULE>(other.libraryHandle());
            Instance fx(other);
            prepare(fx);
            ASSERT_EQ(open(fx, parent), 1);
            idleFor(fx, 100);
            WNDCLASSEXW c{};
            c.cbSize = sizeof c;
            EXPECT_TRUE(GetClassInfoExW(module, L"ZVKVexalEditor", &c));
            fx.dispatch(vst::effEditClose);
        }
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        EXPECT_FALSE(GetClassInfoExW(module, L"ZVKVexalEditor", &c)) << "still registered after unloading";
        EXPECT_EQ(GetModuleHandleA(copy.c_str()), nullptr) << "the copy stayed loaded";
    }
    DeleteFileA(copy.c_str());
}

// Without a stored or installed manual the manual button says so in the
// system's message box; the box's own loop holds this thread, so a second
// one reads it and presses OK.
TEST_F(EditorWindowTest, TheManualButtonWithoutAManualSaysSoInAMessageBox) {
    Instance fx(host);
    const HWND editor = openSettled(fx, 200);
    ASSERT_NE(editor, nullptr);
    std::atomic<bool> found{false}, stop{false};
    wchar_t text[256] = {}, caption[256] = {};
    HWND owner = nullptr;
    std::thread reader([&] {
        while (!stop) {
            HWND box = FindWindowW(L"#32770", nullptr);
            if (box && IsWindowVisible(box)) {
                // The box's text is its static control that holds text (the icon is another).
                for (HWND c = GetWindow(box, GW_CHILD); c && !text[0]; c = GetWindow(c, GW_HWNDNEXT)) {
                    wchar_t kind[16] = {};
                    GetClassNameW(c, kind, 16);
                    if (lstrcmpiW(kind, L"Static") == 0) GetWindowTextW(c, text, 256);
                }
                GetWindowTextW(box, caption, 256);
                owner = GetWindow(box, GW_OWNER);
                found = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    });
    click(editor, kManualButton);
    const bool shown = idleUntil(fx, [&] { return found.load(); }, 6000);
    stop = true;
    reader.join();
    ASSERT_TRUE(shown);
    EXPECT_STREQ(text, L"Could not open user manual");
    EXPECT_STREQ(caption, L"");
    EXPECT_EQ(owner, parent) << "owned by the host's window that holds the editor";
    // Closed with OK, and the editor goes on.
    host.clearCalls();
    click(editor, kPowerCentre);
    EXPECT_TRUE(idleUntil(fx, [&] { return !automationOf(kPowerParameter).empty(); }));
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr);
    fx.dispatch(vst::effEditClose);
}

TEST_F(EditorWindowTest, TheWindowTimerKeepsTheEditorLiveWithoutHostIdle) {
    Instance fx(host);
    const HWND editor = openSettled(fx, 100);
    ASSERT_NE(editor, nullptr);
    host.clearCalls();
    click(editor, kPowerCentre);
    // Only the message loop runs: no effEditIdle.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (automationOf(kPowerParameter).empty() && std::chrono::steady_clock::now() < end) {
        pumpMessages();
        Sleep(5);
    }
    const auto calls = host.calls();
    ASSERT_FALSE(automationOf(kPowerParameter).empty());
    for (const auto& c : calls) {
        if (c.opcode != vst::audioMasterAutomate) continue;
        EXPECT_EQ(c.thread, std::this_thread::get_id()) << "the UI thread";
    }
    fx.dispatch(vst::effEditClose);
}

}  // namespace

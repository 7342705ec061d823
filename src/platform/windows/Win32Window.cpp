#include "Win32Window.h"

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Win32Input.h"
#include "platform/ModuleLocation.h"

namespace vexal::platform {

namespace {

constexpr UINT_PTR kTimerId = 1;
// Requests to the window's own thread.
constexpr UINT kTakeFocus = WM_APP + 1;
constexpr UINT kReturnFocus = WM_APP + 2;
constexpr UINT kDestroySelf = WM_APP + 3;
constexpr UINT kStartTimer = WM_APP + 4;
constexpr UINT kShowAlert = WM_APP + 5;
// Input nobody collects is not kept without bound.
constexpr size_t kMaxQueued = 256;

struct QueuedEvent {
    enum Kind { press, release, motion, leave, turn, typing } kind;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t buttons = 0;
    float distance = 0;
    KeyPress key;
};

QueuedEvent event(QueuedEvent::Kind kind, int32_t x = 0, int32_t y = 0, uint32_t buttons = 0) {
    QueuedEvent e{kind, 0, 0, 0, 0.0f, KeyPress{}};
    e.x = x;
    e.y = y;
    e.buttons = buttons;
    return e;
}

HMODULE ownModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ownModule), &module);
    return module;
}

}  // namespace

// What the window procedure shares with the window object; it lives as long
// as either needs it.
struct Win32WindowLink {
    HWND window = nullptr;
    HWND parent = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    DWORD ownerThread = 0;
    std::atomic<bool> gone{false};

    std::mutex queueMutex;
    std::vector<QueuedEvent> queue;

    // The last picture presented, painted again whenever the system asks.
    std::mutex paintMutex;
    HDC memory = nullptr;
    HBITMAP picture = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* pixels = nullptr;

    // Recursive: the tick may close the editor, which clears it.
    std::recursive_mutex tickMutex;
    void (*tick)(void*) = nullptr;
    void* tickContext = nullptr;

    // The message waiting to be shown (one at a time; a newer one replaces it).
    std::mutex alertMutex;
    std::wstring alertText;
    std::wstring alertCaption;
    bool alertWaiting = false;

    // The owner thread's own.
    HWND focusBefore = nullptr;
    CharacterJoiner characters;
    bool trackingLeave = false;

    ~Win32WindowLink() {
        if (memory) {
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
        if (picture) DeleteObject(picture);
    }

    bool onOwnerThread() const { return GetCurrentThreadId() == ownerThread; }

    void push(const QueuedEvent& e) {
        std::lock_guard<std::mutex> lock(queueMutex);
        // A run of motion: only its latest position matters.
        if (e.kind == QueuedEvent::motion && !queue.empty() && queue.back().kind == QueuedEvent::motion) {
            queue.back() = e;
            return;
        }
        if (queue.size() < kMaxQueued) queue.push_back(e);
    }

    void paint(HDC target, const RECT& area) {
        std::lock_guard<std::mutex> lock(paintMutex);
        BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, area.left,
               area.top, SRCCOPY);
    }
};

namespace {

// Live windows; the window procedure finds its link here by handle.
std::mutex linksMutex;
std::vector<std::shared_ptr<Win32WindowLink>> links;

std::shared_ptr<Win32WindowLink> linkOf(HWND window) {
    std::lock_guard<std::mutex> lock(linksMutex);
    for (const auto& l : links)
        if (l->window == window) return l;
    return nullptr;
}

void forgetLink(const std::shared_ptr<Win32WindowLink>& link) {
    std::lock_guard<std::mutex> lock(linksMutex);
    links.erase(std::remove(links.begin(), links.end(), link), links.end());
}

bool usableFocus(HWND w) { return w && IsWindow(w) && IsWindowVisible(w); }

void pressed(Win32WindowLink& l, LPARAM where, uint32_t bits) {
    // The keyboard comes to the editor with every press; who had it before
    // gets it back when a text field is done.
    const HWND focus = GetFocus();
    if (focus != l.window) {
        l.focusBefore = focus;
        SetFocus(l.window);
    }
    SetCapture(l.window);
    l.push(event(QueuedEvent::press, GET_X_LPARAM(where), GET_Y_LPARAM(where), bits));
}

void released(Win32WindowLink& l, WPARAM flags, LPARAM where, uint32_t bit) {
    if ((flags & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) == 0 && GetCapture() == l.window) ReleaseCapture();
    l.push(event(QueuedEvent::release, GET_X_LPARAM(where), GET_Y_LPARAM(where), bit | mouseBits(flags)));
}

void moved(Win32WindowLink& l, WPARAM flags, LPARAM where) {
    if (!l.trackingLeave) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, l.window, 0};
        l.trackingLeave = TrackMouseEvent(&track) != FALSE;
    }
    l.push(event(QueuedEvent::motion, GET_X_LPARAM(where), GET_Y_LPARAM(where), mouseBits(flags)));
}

void wheeled(Win32WindowLink& l, WPARAM flags, LPARAM where) {
    POINT p{GET_X_LPARAM(where), GET_Y_LPARAM(where)};  // screen coordinates
    ScreenToClient(l.window, &p);
    QueuedEvent e = event(QueuedEvent::turn, p.x, p.y, mouseBits(GET_KEYSTATE_WPARAM(flags)));
    e.distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(flags)) / WHEEL_DELTA;
    l.push(e);
}

void keyPressed(Win32WindowLink& l, WPARAM key, LPARAM info) {
    QueuedEvent e = event(QueuedEvent::typing);
    e.key.modifiers = heldModifiers();
    e.key.virtualKey = virtualKeyOf(key, (info & (1 << 24)) != 0);
    // Control with a letter types a control code: the key's own character
    // instead (not with Alt as well, which is AltGr typing a character).
    if (e.key.virtualKey == kKeyNone && (e.key.modifiers & (kInputControl | kInputAlt)) == kInputControl)
        e.key.character = controlCharacterOf(key, (e.key.modifiers & kInputShift) != 0);
    if (e.key.virtualKey != kKeyNone || e.key.character != 0) l.push(e);
}

void typed(Win32WindowLink& l, WPARAM unit) {
    const uint32_t c = l.characters.add(static_cast<wchar_t>(unit));
    if (c < 0x20 || c == 0x7f) return;  // control codes come as keys
    QueuedEvent e = event(QueuedEvent::typing);
    e.key.character = c;
    e.key.modifiers = heldModifiers();
    l.push(e);
}

void takeFocus(Win32WindowLink& l) {
    const HWND focus = GetFocus();
    if (focus != l.window) {
        l.focusBefore = focus;
        SetFocus(l.window);
    }
}

void returnFocus(Win32WindowLink& l) {
    const HWND before = l.focusBefore;
    l.focusBefore = nullptr;
    // Only while we still hold it: the user may have moved on.
    if (GetFocus() != l.window) return;
    SetFocus(usableFocus(before) ? before : l.parent);
}

std::wstring fromUtf8(const char* text) {
    std::wstring wide;
    const int n = text ? MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0) : 0;
    if (n <= 1) return wide;
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    wide.pop_back();
    return wide;
}

// Modal on the window's thread: the host's windows wait, and our timer
// keeps the editor drawn meanwhile.
void showAlert(Win32WindowLink& l) {
    std::wstring text, caption;
    {
        std::lock_guard<std::mutex> lock(l.alertMutex);
        if (!l.alertWaiting) return;
        l.alertWaiting = false;
        text.swap(l.alertText);
        caption.swap(l.alertCaption);
    }
    MessageBoxW(l.window, text.c_str(), caption.c_str(), MB_OK);
}

void ticked(Win32WindowLink& l) {
    std::lock_guard<std::recursive_mutex> lock(l.tickMutex);
    if (l.tick) l.tick(l.tickContext);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM w, LPARAM p) {
    if (message == kDestroySelf) {
        DestroyWindow(window);
        return 0;
    }
    // Held for this message: a close inside it leaves the link alive until we return.
    const std::shared_ptr<Win32WindowLink> link = linkOf(window);
    if (!link) return DefWindowProcW(window, message, w, p);
    Win32WindowLink& l = *link;
    switch (message) {
        case WM_LBUTTONDOWN: pressed(l, p, mouseBits(w)); return 0;
        case WM_LBUTTONDBLCLK: pressed(l, p, mouseBits(w) | kInputDoubleClick); return 0;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: pressed(l, p, mouseBits(w)); return 0;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: pressed(l, p, mouseBits(w)); return 0;
        case WM_LBUTTONUP: released(l, w, p, kInputLeft); return 0;
        case WM_MBUTTONUP: released(l, w, p, kInputMiddle); return 0;
        case WM_RBUTTONUP: released(l, w, p, kInputRight); return 0;
        case WM_MOUSEMOVE: moved(l, w, p); return 0;
        case WM_MOUSELEAVE:
            l.trackingLeave = false;
            // A drag that leaves the window keeps the mouse until its release.
            if (GetCapture() != l.window) l.push(event(QueuedEvent::leave));
            return 0;
        case WM_MOUSEWHEEL: wheeled(l, w, p); return 0;
        case WM_KEYDOWN: keyPressed(l, w, p); return 0;
        case WM_CHAR: typed(l, w); return 0;
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
        case WM_ERASEBKGND: return 1;  // every pixel is ours
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (HDC dc = BeginPaint(window, &paint)) {
                l.paint(dc, paint.rcPaint);
                EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_PRINTCLIENT: l.paint(reinterpret_cast<HDC>(w), RECT{0, 0, l.width, l.height}); return 0;
        case WM_TIMER:
            if (w == kTimerId) ticked(l);
            return 0;
        case kStartTimer: SetTimer(window, kTimerId, static_cast<UINT>(w), nullptr); return 0;
        case kTakeFocus: takeFocus(l); return 0;
        case kShowAlert: showAlert(l); return 0;
        case kReturnFocus: returnFocus(l); return 0;
        case WM_DESTROY: l.gone = true; break;
        default: break;
    }
    return DefWindowProcW(window, message, w, p);
}

// The class lives with the module: registered on the first window, and
// unregistered as the module unloads (its procedure goes with it).
class WindowClass {
public:
    const wchar_t* ensure() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!registered) {
            WNDCLASSEXW c{};
            c.cbSize = sizeof c;
            c.style = CS_DBLCLKS;
            c.lpfnWndProc = windowProcedure;
            c.hInstance = ownModule();
            c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            c.lpszClassName = kName;
            registered = RegisterClassExW(&c) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }
        return registered ? kName : nullptr;
    }
    ~WindowClass() {
        if (registered) UnregisterClassW(kName, ownModule());
    }

private:
    static constexpr const wchar_t* kName = L"ZVKVexalEditor";
    std::mutex mutex;
    bool registered = false;
};

WindowClass windowClass;

bool makePicture(Win32WindowLink& l) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = l.width;
    info.bmiHeader.biHeight = -l.height;  // top row first, as the toolkit's images
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    l.memory = CreateCompatibleDC(nullptr);
    l.picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!l.memory || !l.picture || !bits) return false;
    l.previous = SelectObject(l.memory, l.picture);
    l.pixels = static_cast<uint32_t*>(bits);
    return true;
}

}  // namespace

const wchar_t* editorWindowClass() { return windowClass.ensure(); }

std::unique_ptr<Win32Window> Win32Window::open(HWND parent, int32_t width, int32_t height) {
    if (!parent || !IsWindow(parent) || width <= 0 || height <= 0) return nullptr;
    const wchar_t* name = editorWindowClass();
    if (!name) return nullptr;
    auto link = std::make_shared<Win32WindowLink>();
    link->parent = parent;
    link->width = width;
    link->height = height;
    link->ownerThread = GetCurrentThreadId();
    if (!makePicture(*link)) return nullptr;
    link->window = CreateWindowExW(0, name, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width, height,
                                   parent, nullptr, ownModule(), nullptr);
    if (!link->window) return nullptr;
    {
        std::lock_guard<std::mutex> lock(linksMutex);
        links.push_back(link);
    }
    return std::unique_ptr<Win32Window>(new Win32Window(std::move(link)));
}

Win32Window::~Win32Window() { dismiss(); }

void Win32Window::stopTicks() {
    // Waits for a tick running on the owner thread to return.
    std::lock_guard<std::recursive_mutex> lock(link->tickMutex);
    link->tick = nullptr;
}

HWND Win32Window::handle() const { return link->window; }

void Win32Window::destroyWindow() {
    if (link->gone.exchange(true)) return;
    if (link->onOwnerThread()) {
        DestroyWindow(link->window);
        return;
    }
    // Only its own thread may destroy it: hidden now, destroyed there later,
    // by code of this module, which must stay loaded until then.
    keepOwnModuleLoaded();
    ShowWindowAsync(link->window, SW_HIDE);
    PostMessageW(link->window, kDestroySelf, 0, 0);
}

void Win32Window::dismiss() {
    forgetLink(link);
    stopTicks();
    destroyWindow();
}

bool Win32Window::pumpEvents(WindowEvents& events) {
    if (!link->gone && !IsWindow(link->window)) link->gone = true;
    if (link->gone) return false;
    std::vector<QueuedEvent> pending;
    {
        std::lock_guard<std::mutex> lock(link->queueMutex);
        pending.swap(link->queue);
    }
    for (const QueuedEvent& e : pending) {
        if (link->gone) break;
        switch (e.kind) {
            case QueuedEvent::press: events.mouseDown(e.x, e.y, e.buttons); break;
            case QueuedEvent::release: events.mouseUp(e.x, e.y, e.buttons); break;
            case QueuedEvent::motion: events.mouseMoved(e.x, e.y, e.buttons); break;
            case QueuedEvent::leave: events.mouseLeft(); break;
            case QueuedEvent::turn: events.wheel(e.x, e.y, e.distance, e.buttons); break;
            case QueuedEvent::typing: events.keyDown(e.key); break;
        }
    }
    if (link->gone) return false;
    const bool showing = isShowing();
    if (showing && !wasShowing) events.shown();
    wasShowing = showing;
    return true;
}

bool Win32Window::isShowing() const {
    if (link->gone || !IsWindowVisible(link->window)) return false;
    const HWND top = GetAncestor(link->window, GA_ROOT);
    return !top || !IsIconic(top);
}

void Win32Window::present(const uint8_t* pixels, int32_t stride, const PixelRect& area) {
    Win32WindowLink& l = *link;
    if (l.gone || !pixels) return;
    const RECT r{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, l.width),
                 std::min(area.bottom, l.height)};
    if (r.left >= r.right || r.top >= r.bottom) return;
    {
        // Both sides hold 32-bit 0x00RRGGBB pixels (bytes B, G, R, x).
        std::lock_guard<std::mutex> lock(l.paintMutex);
        const size_t bytes = static_cast<size_t>(r.right - r.left) * 4;
        for (LONG y = r.top; y < r.bottom; ++y)
            std::memcpy(l.pixels + static_cast<size_t>(y) * static_cast<size_t>(l.width) + r.left,
                        pixels + static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(r.left) * 4,
                        bytes);
        GdiFlush();
    }
    if (HDC dc = GetDC(l.window)) {
        l.paint(dc, r);
        ReleaseDC(l.window, dc);
    }
}

void Win32Window::takeKeyboardFocus() {
    if (link->gone) return;
    // Focus belongs to the window's thread: from another, that thread is asked.
    if (link->onOwnerThread())
        takeFocus(*link);
    else
        PostMessageW(link->window, kTakeFocus, 0, 0);
}

void Win32Window::returnKeyboardFocus() {
    if (link->gone) return;
    if (link->onOwnerThread())
        returnFocus(*link);
    else
        PostMessageW(link->window, kReturnFocus, 0, 0);
}

bool Win32Window::showAlert(const char* text, const char* caption) {
    if (link->gone) return false;
    {
        std::lock_guard<std::mutex> lock(link->alertMutex);
        link->alertText = fromUtf8(text);
        link->alertCaption = fromUtf8(caption);
        link->alertWaiting = true;
    }
    return PostMessageW(link->window, kShowAlert, 0, 0) != FALSE;
}

void Win32Window::setTimer(uint32_t periodMs, void (*tick)(void*), void* context) {
    {
        std::lock_guard<std::recursive_mutex> lock(link->tickMutex);
        link->tick = tick;
        link->tickContext = context;
    }
    if (link->gone) return;
    if (link->onOwnerThread())
        SetTimer(link->window, kTimerId, periodMs, nullptr);
    else
        PostMessageW(link->window, kStartTimer, periodMs, 0);
}

}  // namespace vexal::platform

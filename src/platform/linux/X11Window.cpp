#include "X11Window.h"


#include <algorithm>
#include <cstdlib>

#include "X11ErrorTrap.h"

namespace vexal::platform {

namespace {

constexpr long kEventMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                            LeaveWindowMask | KeyPressMask | KeyReleaseMask | ExposureMask |
                            FocusChangeMask | StructureNotifyMask;

// The next code point of a UTF-8 text, 0 at its end or at a broken sequence.
uint32_t nextCodePoint(const unsigned char*& at, const unsigned char* end) {
    if (at >= end) return 0;
    const unsigned char lead = *at++;
    if (lead < 0x80) return lead;
    int more = lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : lead >= 0xc0 ? 1 : -1;
    if (more < 0 || end - at < more) return 0;
    uint32_t code = lead & (0x3fu >> more);
    while (more-- > 0) {
        if ((*at & 0xc0) != 0x80) return 0;
        code = (code << 6) | (*at++ & 0x3fu);
    }
    return code;
}

bool isControlCharacter(uint32_t c) { return c < 0x20 || c == 0x7f; }

}  // namespace

std::unique_ptr<X11Window> X11Window::open(const X11Options& options, Window parent, int32_t width,
                                           int32_t height) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name || parent == 0 || width <= 0 || height <= 0) return nullptr;
    Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    std::unique_ptr<X11Window> window(new X11Window(display, parent, width, height));
    if (!window->create(options)) return nullptr;
    return window;
}

X11Window::X11Window(Display* d, Window p, int32_t w, int32_t h)
    : display(d), parent(p), width(w), height(h) {}

bool X11Window::create(const X11Options& options) {
    X11ErrorTrap trap(display);
    XWindowAttributes parentAttributes{};
    if (!XGetWindowAttributes(display, parent, &parentAttributes) || trap.sync() ||
        parentAttributes.c_class != InputOutput) {
        gone = true;
        return false;
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // we paint every pixel; no flash of the server's fill
    attributes.event_mask = kEventMask;
    window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                           0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWEventMask,
                           &attributes);
    XGCValues values{};
    values.graphics_exposures = False;
    gc = XCreateGC(display, window, GCGraphicsExposures, &values);
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(display, window, &hints);
    if (trap.sync()) {
        gone = trap.windowFailed(parent) || trap.windowFailed(window);
        return false;
    }
    if (!presenter.create(display, parentAttributes.root, parentAttributes.visual, parentAttributes.depth,
                          width, height, options.sharedMemory))
        return false;
    openInputContext(options.inputMethod);
    XMapWindow(display, window);
    if (trap.sync()) {
        gone = true;
        return false;
    }
    return true;
}

void X11Window::openInputContext(bool wanted) {
    if (!wanted) return;
    inputMethod = XOpenIM(display, nullptr, nullptr, nullptr);
    if (!inputMethod) return;
    inputContext = XCreateIC(inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                             XNClientWindow, window, XNFocusWindow, window, nullptr);
    if (!inputContext) {
        XCloseIM(inputMethod);
        inputMethod = nullptr;
        return;
    }
    long filterMask = 0;
    XGetICValues(inputContext, XNFilterEvents, &filterMask, nullptr);
    XSelectInput(display, window, kEventMask | filterMask);
}

X11Window::~X11Window() {
    {
        X11ErrorTrap trap(display);
        if (inputContext) XDestroyIC(inputContext);
        if (inputMethod) XCloseIM(inputMethod);
        presenter.release();
        if (gc) XFreeGC(display, gc);
        if (window && !gone) XDestroyWindow(display, window);
    }
    XCloseDisplay(display);
}

bool X11Window::pumpEvents(WindowEvents& events) {
    if (gone) return false;
    // Every request of ours ends synchronised, so reading the queue alone
    // cannot meet an error: the trap is only needed when there is work.
    if (XPending(display) == 0) return true;
    X11ErrorTrap trap(display);
    XEvent motion;
    bool motionPending = false;
    while (!gone && XEventsQueued(display, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (inputContext && XFilterEvent(&event, None)) continue;
        if (event.type == MotionNotify) {
            // Only the latest position of a run of motion matters.
            motion = event;
            motionPending = true;
            continue;
        }
        if (motionPending) {
            dispatch(motion, events);
            motionPending = false;
        }
        dispatch(event, events);
    }
    if (motionPending && !gone) dispatch(motion, events);
    if (trap.sync() && trap.windowFailed(window)) gone = true;
    return !gone;
}

void X11Window::dispatch(XEvent& event, WindowEvents& events) {
    switch (event.type) {
        case ButtonPress:
            buttonPressed(event.xbutton, events);
            break;
        case ButtonRelease:
            if (const uint32_t bit = buttonBit(event.xbutton.button))
                events.mouseUp(event.xbutton.x, event.xbutton.y, bit | inputBits(event.xbutton.state));
            break;
        case MotionNotify:
            events.mouseMoved(event.xmotion.x, event.xmotion.y, inputBits(event.xmotion.state));
            break;
        case EnterNotify:
            if (event.xcrossing.mode != NotifyGrab)
                events.mouseMoved(event.xcrossing.x, event.xcrossing.y, inputBits(event.xcrossing.state));
            break;
        case LeaveNotify:
            if (event.xcrossing.mode != NotifyGrab) events.mouseLeft();
            break;
        case KeyPress:
            keyPressed(event.xkey, events);
            break;
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            events.exposed({e.x, e.y, e.x + e.width, e.y + e.height});
            break;
        }
        case FocusIn:
            if (inputContext) XSetICFocus(inputContext);
            break;
        case FocusOut:
            if (inputContext) XUnsetICFocus(inputContext);
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window || event.xdestroywindow.window == parent) gone = true;
            break;
        case MappingNotify:
            XRefreshKeyboardMapping(&event.xmapping);
            break;
        default:
            break;
    }
}

void X11Window::buttonPressed(const XButtonEvent& event, WindowEvents& events) {
    const uint32_t held = inputBits(event.state);
    switch (event.button) {
        case 4:
            events.wheel(event.x, event.y, 1.0f, held);
            return;
        case 5:
            events.wheel(event.x, event.y, -1.0f, held);
            return;
        default:
            break;
    }
    const uint32_t bit = buttonBit(event.button);
    if (bit == 0) return;  // horizontal wheel and extra buttons
    uint32_t buttons = bit | held;
    if (clicks.press(event.button, event.time, event.x, event.y)) buttons |= kInputDoubleClick;
    events.mouseDown(event.x, event.y, buttons);
}

void X11Window::keyPressed(XKeyEvent& event, WindowEvents& events) {
    char text[64];
    KeySym keysym = NoSymbol;
    int length = 0;
    bool latin1 = false;
    if (inputContext) {
        Status status = XLookupNone;
        length = Xutf8LookupString(inputContext, &event, text, sizeof text, &keysym, &status);
        if (status != XLookupChars && status != XLookupBoth) length = 0;
        if (status != XLookupKeySym && status != XLookupBoth) keysym = NoSymbol;
    } else {
        length = XLookupString(&event, text, sizeof text, &keysym, nullptr);
        latin1 = true;
    }
    KeyInput key;
    key.modifiers = modifierBits(event.state);
    key.virtualKey = virtualKeyOf(keysym);
    if (key.virtualKey != kKeyNone) {
        events.keyDown(key);
        return;
    }
    bool typed = false;
    const auto* at = reinterpret_cast<const unsigned char*>(text);
    const auto* end = at + std::clamp(length, 0, static_cast<int>(sizeof text));
    while (at < end) {
        const uint32_t c = latin1 ? *at++ : nextCodePoint(at, end);
        if (c == 0) break;
        if (isControlCharacter(c)) continue;
        key.character = c;
        events.keyDown(key);
        typed = true;
    }
    // Control combinations type control codes: report the key's own character,
    // and so the characters XLookupString cannot spell (Unicode keysyms).
    if (!typed && ((key.modifiers & kInputControl) != 0 || latin1)) {
        key.character = characterOf(keysym);
        if (key.character != 0) events.keyDown(key);
    }
}

void X11Window::present(const uint8_t* pixels, int32_t stride, const PixelRect& area) {
    if (gone || !pixels) return;
    PixelRect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width),
                      std::min(area.bottom, height)};
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return;
    X11ErrorTrap trap(display);
    presenter.put(window, gc, pixels, stride, clipped);
    if (trap.sync() && trap.windowFailed(window)) gone = true;
}

void X11Window::setFocus(Window target) {
    if (gone) return;
    X11ErrorTrap trap(display);
    XSetInputFocus(display, target, RevertToParent, CurrentTime);
    // The parent failing means it is gone, and our window with it.
    if (trap.sync() && (trap.windowFailed(window) || trap.windowFailed(parent))) gone = true;
}

void X11Window::takeKeyboardFocus() {
    if (gone) return;
    // Remember who typed before us (the host's own window, whose shortcuts
    // must work again after the field is done).
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus != window) focusBefore = focus;
    setFocus(window);
}

void X11Window::returnKeyboardFocus() {
    if (gone) return;
    // Only while we still hold it: the user may have moved on to another window.
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const Window before = focusBefore;
    focusBefore = None;
    if (focus != window) return;
    setFocus(stillExists(before) ? before : parent);
}

bool X11Window::stillExists(Window w) {
    if (w == None) return false;
    if (w == PointerRoot) return true;
    X11ErrorTrap trap(display);
    XWindowAttributes attributes{};
    const bool found = XGetWindowAttributes(display, w, &attributes) != 0;
    return !trap.sync() && found && attributes.map_state == IsViewable;
}

}  // namespace vexal::platform

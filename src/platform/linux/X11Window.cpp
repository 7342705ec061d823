#include "X11Window.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vexal::platform {

namespace {

constexpr long kEventMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                            LeaveWindowMask | KeyPressMask | KeyReleaseMask | ExposureMask |
                            FocusChangeMask | StructureNotifyMask | VisibilityChangeMask;
constexpr uint32_t kViewableCheckMs = 100;

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
    auto connection = X11Connection::open(name);
    if (!connection) return nullptr;
    std::unique_ptr<X11Window> window(new X11Window(std::move(connection), parent, width, height));
    if (!window->create(options)) return nullptr;
    return window;
}

X11Window::X11Window(std::unique_ptr<X11Connection> c, Window p, int32_t w, int32_t h)
    : connection(std::move(c)), display(connection->display()), parent(p), width(w), height(h) {}

bool X11Window::create(const X11Options& options) {
    xcb_connection_t* c = connection->xcb();
    xcb_generic_error_t* error = nullptr;
    const auto attributesAsked = xcb_get_window_attributes(c, static_cast<xcb_window_t>(parent));
    const auto geometryAsked = xcb_get_geometry(c, static_cast<xcb_drawable_t>(parent));
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(c, attributesAsked, &error), &std::free);
    const bool haveAttributes = connection->replied(attributes.get(), error);
    error = nullptr;
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(c, geometryAsked, &error), &std::free);
    const bool haveGeometry = connection->replied(geometry.get(), error);
    if (!haveAttributes || !haveGeometry || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
        gone = true;
        return false;
    }
    XVisualInfo wanted{};
    wanted.visualid = attributes->visual;
    int found = 0;
    XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask, &wanted, &found);
    if (!visual) return false;
    const bool made = createWindow(geometry->depth) &&
                      presenter.create(*connection, geometry->root, visual->visual, geometry->depth, width, height,
                                       options.sharedMemory);
    XFree(visual);
    if (!made) return false;
    openInputContext(options.inputMethod);
    const X11Result mapped = connection->check(xcb_map_window_checked(c, static_cast<xcb_window_t>(window)));
    if (mapped.failed()) {
        gone = true;
        return false;
    }
    return true;
}

bool X11Window::createWindow(int depth) {
    xcb_connection_t* c = connection->xcb();
    window = xcb_generate_id(c);
    // We paint every pixel: no flash of the server's fill.
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, static_cast<uint32_t>(kEventMask)};
    const auto created = xcb_create_window_checked(
        c, static_cast<uint8_t>(depth), static_cast<xcb_window_t>(window), static_cast<xcb_window_t>(parent), 0, 0,
        static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    gc = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    const auto madeGc = xcb_create_gc_checked(c, gc, static_cast<xcb_drawable_t>(window),
                                              XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    // WM_NORMAL_HINTS: a fixed size (PMinSize | PMaxSize).
    uint32_t hints[18] = {};
    hints[0] = (1u << 4) | (1u << 5);
    hints[5] = hints[7] = static_cast<uint32_t>(width);
    hints[6] = hints[8] = static_cast<uint32_t>(height);
    const auto hinted = xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
                                                    XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    const X11Result results[] = {connection->check(created), connection->check(madeGc), connection->check(hinted)};
    if (results[0].failed()) window = 0;
    if (results[1].failed()) gc = 0;
    bool made = true;
    for (const X11Result& r : results) {
        if (!r.failed()) continue;
        made = false;
        // The parent destroyed meanwhile takes our window with it.
        if (r.lostWindow(static_cast<uint32_t>(parent)) || !connection->usable()) gone = true;
    }
    return made;
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
    const uint32_t mask = static_cast<uint32_t>(kEventMask | filterMask);
    forget(connection->check(xcb_change_window_attributes_checked(c(), static_cast<xcb_window_t>(window),
                                                                  XCB_CW_EVENT_MASK, &mask)));
}

X11Window::~X11Window() {
    // A lost connection is never touched again: what it holds is left behind.
    if (!connection->alive()) return;
    if (inputContext) XDestroyIC(inputContext);
    if (inputMethod) XCloseIM(inputMethod);
    presenter.release();
    xcb_connection_t* c = connection->xcb();
    if (gc) connection->check(xcb_free_gc_checked(c, gc));
    if (window && !gone) connection->check(xcb_destroy_window_checked(c, static_cast<xcb_window_t>(window)));
}

void X11Window::dismiss() {
    if (gone) return;
    gone = true;
    if (!connection->alive()) return;
    if (inputContext) {
        XDestroyIC(inputContext);
        inputContext = nullptr;
    }
    connection->check(xcb_destroy_window_checked(c(), static_cast<xcb_window_t>(window)));
}

void X11Window::forget(const X11Result& result) {
    if (!connection->usable() || result.lostWindow(static_cast<uint32_t>(window)) ||
        result.lostWindow(static_cast<uint32_t>(parent)))
        gone = true;
}

bool X11Window::pumpEvents(WindowEvents& events) {
    if (gone) return false;
    if (!connection->alive()) {
        gone = true;
        return false;
    }
    if (XPending(display) > 0) drainEvents(events);
    if (!gone) checkViewable(events);
    if (!connection->usable()) gone = true;
    return !gone;
}

void X11Window::drainEvents(WindowEvents& events) {
    XEvent motion;
    bool motionPending = false;
    while (!gone && connection->usable() && XEventsQueued(display, QueuedAlready) > 0) {
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
}

// An ancestor's unmapping sends us nothing, so whether the window can be
// seen is asked of the server now and then (events tell the rest at once).
void X11Window::checkViewable(WindowEvents& events) {
    const uint32_t now = tickCount();
    if (lastViewableCheck != 0 && now - lastViewableCheck < kViewableCheckMs) return;
    lastViewableCheck = now == 0 ? 1 : now;
    xcb_connection_t* c = connection->xcb();
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, static_cast<xcb_window_t>(window)), &error);
    if (error && (error->error_code == BadWindow)) gone = true;
    if (connection->replied(reply, error))
        setShowing(reply->map_state == XCB_MAP_STATE_VIEWABLE, obscured, events);
    std::free(reply);
}

void X11Window::setShowing(bool nowViewable, bool nowObscured, WindowEvents& events) {
    const bool was = isShowing();
    viewable = nowViewable;
    obscured = nowObscured;
    if (!was && isShowing()) events.shown();
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
        case MapNotify:
            lastViewableCheck = 0;  // whether the ancestors are mapped too is asked next
            break;
        case UnmapNotify:
            if (event.xunmap.window == window) setShowing(false, obscured, events);
            break;
        case VisibilityNotify:
            // Only viewable windows get these.
            setShowing(true, event.xvisibility.state == VisibilityFullyObscured, events);
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
    if (gone || !pixels || !connection->alive()) return;
    PixelRect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width),
                      std::min(area.bottom, height)};
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return;
    forget(presenter.put(window, gc, pixels, stride, clipped));
}

void X11Window::setFocus(Window target) {
    if (gone || !connection->alive()) return;
    // The parent failing means it is gone, and our window with it.
    forget(connection->check(xcb_set_input_focus_checked(c(), XCB_INPUT_FOCUS_PARENT,
                                                         static_cast<xcb_window_t>(target), XCB_CURRENT_TIME)));
}

Window X11Window::inputFocus() {
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_get_input_focus_reply(c(), xcb_get_input_focus(c()), &error);
    const Window focus = connection->replied(reply, error) ? reply->focus : None;
    std::free(reply);
    return focus;
}

void X11Window::takeKeyboardFocus() {
    if (gone || !connection->alive()) return;
    // Remember who typed before us (the host's own window, whose shortcuts
    // must work again after the field is done).
    const Window focus = inputFocus();
    if (focus != window) focusBefore = focus;
    setFocus(window);
}

void X11Window::returnKeyboardFocus() {
    if (gone || !connection->alive()) return;
    // Only while we still hold it: the user may have moved on to another window.
    const Window focus = inputFocus();
    const Window before = focusBefore;
    focusBefore = None;
    if (focus != window) return;
    setFocus(stillExists(before) ? before : parent);
}

bool X11Window::stillExists(Window w) {
    if (w == None) return false;
    if (w == PointerRoot) return true;
    xcb_generic_error_t* error = nullptr;
    auto* attributes = xcb_get_window_attributes_reply(
        c(), xcb_get_window_attributes(c(), static_cast<xcb_window_t>(w)), &error);
    const bool viewable = connection->replied(attributes, error) && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    return viewable;
}

}  // namespace vexal::platform

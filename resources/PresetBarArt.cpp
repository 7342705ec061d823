// Preset bar buttons: normal, hovered and pressed frames (the rocker: idle,
// hovered left and right, pressed left and right), drawn on whole pixels.
#include <string>

#include "Artwork.h"
#include "ArtworkCatalogue.h"

namespace vexal::artwork {
namespace {

enum class State { normal, hover, pressed };

Rgb faceOf(State s) {
    return s == State::hover ? Rgb{70, 76, 85} : s == State::pressed ? Rgb{40, 43, 48} : palette::cap;
}

Rgb inkOf(State s) {
    return s == State::hover ? palette::lcd : s == State::pressed ? palette::accent : Rgb{150, 158, 166};
}

// Pixel icons, '#' for ink, centred in the button.
using Icon = const char* [7];

// Into the tray: store.
constexpr Icon kStoreIcon = {
    "..#..",
    "..#..",
    "#####",
    ".###.",
    "#.#.#",
    "#...#",
    "#####",
};
// Out of the tray: load, recall.
constexpr Icon kLoadIcon = {
    "..#..",
    ".###.",
    "#####",
    "..#..",
    "#.#.#",
    "#...#",
    "#####",
};
constexpr Icon kHelpIcon = {
    ".###.",
    "#...#",
    "...#.",
    "..#..",
    "..#..",
    ".....",
    "..#..",
};

void drawIcon(cairo_t* cr, const Icon& icon, int left, int top, Rgb ink) {
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            if (icon[y][x] == '#') fillRect(cr, left + x, top + y, 1, 1, ink);
}

// A small triangle, its tip two pixels from (cx, cy): pointing left (-1),
// right (+1) or down (0).
void drawArrow(cairo_t* cr, int cx, int cy, int direction, Rgb ink) {
    for (int j = 0; j < 4; ++j) {
        if (direction == 0)
            fillRect(cr, cx - j, cy + 2 - j, 2 * j + 1, 1, ink);
        else
            fillRect(cr, cx + 2 * direction - direction * j, cy - j, 1, 2 * j + 1, ink);
    }
}

Image iconButton(const Image& background, Rect place, const Icon& icon) {
    const int w = place.width(), h = place.height();
    Image strip = stripOver(background, place, 3);
    cairo_t* cr = strip.context();
    for (int f = 0; f < 3; ++f) {
        const State s = State(f);
        const int y = f * h;
        drawCap(cr, Rect{0, y, w, y + h}, faceOf(s));
        const int press = s == State::pressed ? 1 : 0;
        drawIcon(cr, icon, (w - 5) / 2, y + (h - 7) / 2 + press, inkOf(s));
    }
    cairo_destroy(cr);
    return strip;
}

Image textButton(const Image& background, Rect place, const std::string& label) {
    const int w = place.width(), h = place.height();
    Image strip = stripOver(background, place, 3);
    cairo_t* cr = strip.context();
    for (int f = 0; f < 3; ++f) {
        const State s = State(f);
        const int y = f * h;
        drawCap(cr, Rect{0, y, w, y + h}, faceOf(s));
        const int press = s == State::pressed ? 1 : 0;
        text(cr, label, w / 2.0, y + h - 3 + press, 7.5, inkOf(s), Align::centre, true);
    }
    cairo_destroy(cr);
    return strip;
}

// Previous / next: two halves, each with its arrow.
Image drawRocker(const Image& background) {
    const Rect place = layout::rocker;
    const int w = place.width(), h = place.height();
    Image strip = stripOver(background, place, 5);
    cairo_t* cr = strip.context();
    // Frames: idle, hover left, hover right, pressed left, pressed right.
    const State left[] = {State::normal, State::hover, State::normal, State::pressed, State::normal};
    const State right[] = {State::normal, State::normal, State::hover, State::normal, State::pressed};
    for (int f = 0; f < 5; ++f) {
        const int y = f * h;
        drawCap(cr, Rect{0, y, w / 2, y + h}, faceOf(left[f]));
        drawCap(cr, Rect{w / 2, y, w, y + h}, faceOf(right[f]));
        const int pl = left[f] == State::pressed ? 1 : 0, pr = right[f] == State::pressed ? 1 : 0;
        drawArrow(cr, w / 4, y + h / 2 + pl, -1, inkOf(left[f]));
        drawArrow(cr, 3 * w / 4, y + h / 2 + pr, +1, inkOf(right[f]));
    }
    cairo_destroy(cr);
    return strip;
}

// A spare down arrow, the one the program menu shows.
Image drawMenuArrow() {
    Image arrow(7, 7);
    cairo_t* cr = arrow.context();
    fillRect(cr, 0, 0, 7, 7, palette::cap);
    drawArrow(cr, 3, 2, 0, palette::label);
    cairo_destroy(cr);
    return arrow;
}

}  // namespace

void drawPresetBar(Artwork& art, const Image& bg) {
    art[idOf("manual")] = iconButton(bg, layout::manual, kHelpIcon);
    art[idOf("load")] = iconButton(bg, layout::loadBank, kLoadIcon);
    art[idOf("save")] = iconButton(bg, layout::saveBank, kStoreIcon);
    art[idOf("defaultBank")] = textButton(bg, layout::defaultBank, "DEF");
    art[idOf("defaultProgram")] = textButton(bg, layout::defaultProgram, "DEFAULT");
    art[idOf("menuArrow")] = drawMenuArrow();
    art[idOf("rocker")] = drawRocker(bg);
}

}  // namespace vexal::artwork

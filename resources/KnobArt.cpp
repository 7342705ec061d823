// Knob filmstrips: 101 frames, the pointer sweeping 300 degrees from
// frame 0 (lower left) to frame 100 (lower right), with a value arc
// around the dial.
#include <algorithm>
#include <cmath>

#include "Artwork.h"
#include "ArtworkCatalogue.h"

namespace vexal::artwork {
namespace {

constexpr int kFrames = 101;
constexpr double kSweep = 300.0 * M_PI / 180.0;
// Angle of frame 0, measured like cairo (clockwise from the positive x axis).
constexpr double kStart = M_PI / 2 + (2 * M_PI - kSweep) / 2;

void source(cairo_t* cr, Rgb c) { setColour(cr, c); }

void drawDial(cairo_t* cr, double cx, double cy, double radius, double position, bool fromCentre) {
    const double ring = radius + 4.0;
    // Track and value arc.
    cairo_set_line_width(cr, 2.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    source(cr, palette::groove);
    cairo_arc(cr, cx, cy, ring, kStart, kStart + kSweep);
    cairo_stroke(cr);
    const double angle = kStart + kSweep * position;
    const double from = fromCentre ? kStart + kSweep / 2 : kStart;
    if (std::abs(angle - from) > 1e-9) {
        source(cr, scale(palette::accent, 0.85));
        if (angle > from)
            cairo_arc(cr, cx, cy, ring, from, angle);
        else
            cairo_arc_negative(cr, cx, cy, ring, from, angle);
        cairo_stroke(cr);
    }
    // Body: outline, then a face lit from above.
    source(cr, palette::shadow);
    cairo_arc(cr, cx, cy + 0.5, radius + 1.0, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_t* face = cairo_pattern_create_linear(0, cy - radius, 0, cy + radius);
    cairo_pattern_add_color_stop_rgb(face, 0, 84 / 255.0, 90 / 255.0, 99 / 255.0);
    cairo_pattern_add_color_stop_rgb(face, 1, 44 / 255.0, 48 / 255.0, 54 / 255.0);
    cairo_set_source(cr, face);
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    // Top plate.
    const double plate = radius * 0.72;
    cairo_pattern_t* top = cairo_pattern_create_linear(0, cy - plate, 0, cy + plate);
    cairo_pattern_add_color_stop_rgb(top, 0, 64 / 255.0, 69 / 255.0, 77 / 255.0);
    cairo_pattern_add_color_stop_rgb(top, 1, 54 / 255.0, 58 / 255.0, 65 / 255.0);
    cairo_set_source(cr, top);
    cairo_arc(cr, cx, cy, plate, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(top);
    // Pointer.
    cairo_set_line_width(cr, 2.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    source(cr, palette::lcd);
    cairo_move_to(cr, cx + std::cos(angle) * radius * 0.28, cy + std::sin(angle) * radius * 0.28);
    cairo_line_to(cr, cx + std::cos(angle) * (radius - 2.0), cy + std::sin(angle) * (radius - 2.0));
    cairo_stroke(cr);
}

// margin: pixels between the rectangle's edge and the dial's body.
Image knobStrip(const Image& background, Rect place, bool fromCentre, double margin = 7.0) {
    const int w = place.width(), h = place.height();
    Image strip = stripOver(background, place, kFrames);
    cairo_t* cr = strip.context();
    const double radius = std::min(w, h) / 2.0 - margin;
    for (int f = 0; f < kFrames; ++f) {
        cairo_save(cr);
        cairo_rectangle(cr, 0, f * h, w, h);
        cairo_clip(cr);
        drawDial(cr, w / 2.0, f * h + h / 2.0, radius, f / double(kFrames - 1), fromCentre);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    return strip;
}

}  // namespace

void drawKnobs(Artwork& art, const Image& background) {
    art[idOf("levellerKnob")] = knobStrip(background, layout::leveller, false);
    art[idOf("linkKnob")] = knobStrip(background, layout::link, false);
    // Drive and Output leave their names room above the ring.
    art[idOf("driveKnob")] = knobStrip(background, layout::drive, true, 9.0);  // 0 dB in the middle
    art[idOf("outputKnob")] = knobStrip(background, layout::output, false, 9.0);
    art[idOf("transientKnob")] = knobStrip(background, layout::transient, false);
    art[idOf("releaseKnob")] = knobStrip(background, layout::release, false);
}

}  // namespace vexal::artwork

// Switch filmstrips: every frame a cap with its label, over the part of the
// background the switch covers.
#include <cmath>
#include <string>
#include <vector>

#include "Artwork.h"
#include "ArtworkCatalogue.h"

namespace vexal::artwork {
namespace {

// How a frame shows its state.
enum class Look {
    off,        // not selected
    on,         // selected
    dim,        // selected, but the function is disabled
    highlight,  // metering preferences just stored
    alarm,      // calibration signal, bright phase
    alarmDark,  // calibration signal, dark phase
};

struct CapStyle {
    Rgb face;
    Rgb ink;
};

CapStyle styleOf(Look look) {
    switch (look) {
        case Look::off: return {palette::cap, Rgb{150, 158, 166}};
        case Look::on: return {palette::capLit, palette::accent};
        case Look::dim: return {palette::cap, Rgb{150, 118, 70}};
        case Look::highlight: return {palette::lcd, palette::lcdInk};
        case Look::alarm: return {Rgb{200, 52, 14}, Rgb{255, 236, 224}};
        case Look::alarmDark: return {palette::cap, Rgb{236, 84, 44}};
    }
    return {palette::cap, palette::label};
}

// Text size that keeps a label inside a cap.
double fitSize(cairo_t* cr, const std::string& label, int width, double size) {
    while (size > 6.0 && textWidth(cr, label, size, true) > width - 6) size -= 0.5;
    return size;
}

void drawCapFrame(cairo_t* cr, Rect r, const std::string& label, Look look, double size = 8.0) {
    const CapStyle s = styleOf(look);
    drawCap(cr, r, s.face);
    const double fitted = fitSize(cr, label, r.width(), size);
    // Cap height of Arial is about 0.72 of the size: centre the capitals.
    const double baseline = r.top + (r.height() + 0.72 * fitted) / 2.0;
    text(cr, label, r.left + r.width() / 2.0, baseline, fitted, s.ink, Align::centre, true);
}

struct Frame {
    std::string label;
    Look look;
};

// A strip of caps the size of `place`, one per frame.
Image capStrip(const Image& background, Rect place, const std::vector<Frame>& frames, double size = 8.0) {
    const int h = place.height();
    Image strip = stripOver(background, place, int(frames.size()));
    cairo_t* cr = strip.context();
    for (size_t f = 0; f < frames.size(); ++f) {
        const Rect r{0, int(f) * h, place.width(), int(f + 1) * h};
        drawCapFrame(cr, r, frames[f].label, frames[f].look, size);
    }
    cairo_destroy(cr);
    return strip;
}

// Off, on and the highlight of a metering switch.
Image toggle(const Image& background, Rect place, const std::string& label, bool withHighlight,
             double size = 8.0) {
    std::vector<Frame> frames{{label, Look::off}, {label, Look::on}};
    if (withHighlight) frames.push_back({label, Look::highlight});
    return capStrip(background, place, frames, size);
}

// The meter mode switch: a "peak" cap over the upper 19 pixels, a K-scale
// cap over the lower 19, a slot between them.
Image drawModeSwitch(const Image& background) {
    const Rect place = layout::meterMode;
    const int w = place.width(), h = place.height();
    Image strip = stripOver(background, place, 7);
    cairo_t* cr = strip.context();
    const char* scales[] = {"K-12", "K-14", "K-20"};
    for (int f = 0; f < 7; ++f) {
        const int y = f * h;
        const bool k = f >= 3 && f < 6;
        const Look peakLook = f == 6 ? Look::highlight : k ? Look::off : Look::on;
        const Look scaleLook = f == 6 ? Look::highlight : k ? Look::on : Look::off;
        const std::string scaleLabel = f == 6 ? "K" : scales[f % 3];
        // The slot joining the two halves.
        fillRect(cr, w / 2 - 1, y + 19, 3, h - 38, palette::shadow);
        fillRect(cr, w / 2, y + 19, 1, h - 38, palette::groove);
        drawCapFrame(cr, Rect{0, y, w, y + 19}, "PEAK", peakLook);
        drawCapFrame(cr, Rect{0, y + h - 19, w, y + h}, scaleLabel, scaleLook);
    }
    cairo_destroy(cr);
    return strip;
}

// Transient shape: three square keys A, B and C, one lit per frame.
Image drawTransShape(const Image& background) {
    const Rect place = layout::transShape;
    const int h = place.height();
    Image strip = stripOver(background, place, 3);
    cairo_t* cr = strip.context();
    // Keys at window x 39-56, 72-89 and 105-122, y 123-140 (inclusive).
    const int keyLeft[] = {39, 72, 105};
    const char* names[] = {"A", "B", "C"};
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 3; ++k) {
            const int x = keyLeft[k] - place.left;
            const int y = f * h + 123 - place.top;
            // A groove links the keys, as on a selector.
            if (k < 2) fillRect(cr, x + 18, y + 8, 15, 2, palette::shadow);
            drawCapFrame(cr, Rect{x, y, x + 18, y + 18}, names[k], k == f ? Look::on : Look::off, 9.0);
        }
    cairo_destroy(cr);
    return strip;
}

// Power: a round key with the power sign, dark when off, lit when on.
Image drawPower(const Image& background) {
    const Rect place = layout::power;
    const int s = place.width();
    Image strip = stripOver(background, place, 2);
    cairo_t* cr = strip.context();
    for (int f = 0; f < 2; ++f) {
        const double cx = s / 2.0, cy = f * s + s / 2.0;
        const bool on = f == 1;
        setColour(cr, palette::shadow);
        cairo_arc(cr, cx, cy, 15.5, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_pattern_t* face = cairo_pattern_create_linear(0, cy - 14, 0, cy + 14);
        const Rgb top = on ? Rgb{74, 66, 54} : Rgb{68, 73, 81};
        const Rgb bottom = on ? Rgb{52, 46, 38} : Rgb{46, 50, 56};
        cairo_pattern_add_color_stop_rgb(face, 0, top.r / 255.0, top.g / 255.0, top.b / 255.0);
        cairo_pattern_add_color_stop_rgb(face, 1, bottom.r / 255.0, bottom.g / 255.0, bottom.b / 255.0);
        cairo_set_source(cr, face);
        cairo_arc(cr, cx, cy, 14.5, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_pattern_destroy(face);
        const Rgb ink = on ? palette::accent : Rgb{120, 128, 137};
        setColour(cr, ink);
        cairo_set_line_width(cr, 2.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_arc(cr, cx, cy + 0.5, 7.0, -M_PI / 2 + 0.75, 3 * M_PI / 2 - 0.75);
        cairo_stroke(cr);
        cairo_move_to(cr, cx, cy - 8.5);
        cairo_line_to(cr, cx, cy - 1.0);
        cairo_stroke(cr);
    }
    cairo_destroy(cr);
    return strip;
}

// AutoOut and PostMeter: a small upright key with a lamp.
Image drawLampKey(const Image& background) {
    const Rect place = layout::autoOut;
    const int w = place.width(), h = place.height();
    Image strip = stripOver(background, place, 3);
    cairo_t* cr = strip.context();
    const Look looks[] = {Look::off, Look::on, Look::highlight};
    for (int f = 0; f < 3; ++f) {
        const int y = f * h;
        const Look look = looks[f];
        drawCap(cr, Rect{1, y + 1, w - 1, y + h - 1}, look == Look::highlight ? palette::lcd : palette::cap);
        const Rgb lamp = look == Look::on ? palette::accent : look == Look::highlight ? palette::lcdInk : Rgb{30, 32, 35};
        fillRect(cr, 5, y + 5, 8, 4, palette::shadow);
        fillRect(cr, 6, y + 6, 6, 2, lamp);
        // Grip lines.
        const Rgb grip = look == Look::highlight ? Rgb{150, 165, 172} : Rgb{40, 43, 48};
        for (int i = 0; i < 3; ++i) fillRect(cr, 5, y + 13 + 2 * i, 8, 1, grip);
    }
    cairo_destroy(cr);
    return strip;
}

}  // namespace

void drawSwitches(Artwork& art, const Image& bg) {
    art[idOf("detectorOrder")] = capStrip(bg, layout::detectorOrder, {{"I", Look::off}, {"II", Look::on}}, 9.0);
    art[idOf("oversample")] = toggle(bg, layout::oversample, "OVS", false);
    art[idOf("quantize")] = toggle(bg, layout::quantize, "QUANT", false);
    art[idOf("meterMode")] = drawModeSwitch(bg);
    art[idOf("bits")] = capStrip(bg, layout::bits,
                                 {{"8", Look::dim}, {"16", Look::dim}, {"24", Look::dim},
                                  {"8", Look::on}, {"16", Look::on}, {"24", Look::on}}, 9.0);
    art[idOf("noiseShape")] = capStrip(bg, layout::noiseShape,
                                       {{"OFF", Look::off}, {"A", Look::dim}, {"B", Look::dim}, {"C", Look::dim},
                                        {"A", Look::on}, {"B", Look::on}, {"C", Look::on}}, 9.0);
    art[idOf("calibrate")] = capStrip(bg, layout::calibrate,
                                      {{"CAL", Look::off}, {"L", Look::alarm}, {"R", Look::alarm}, {"L+R", Look::alarm},
                                       {"L", Look::alarmDark}, {"R", Look::alarmDark}, {"L+R", Look::alarmDark}});
    art[idOf("attZoom")] = toggle(bg, layout::attZoom, "ZOOM", true);
    art[idOf("meterOvs")] = toggle(bg, layout::meterOvs, "RECON", true);
    art[idOf("autoblack")] =
        capStrip(bg, layout::autoblack, {{"BLACK", Look::off}, {"BLACK", Look::on}, {"BLACK", Look::dim}});
    art[idOf("showStage1")] = toggle(bg, layout::showStage1, "I", true, 9.0);
    art[idOf("showStage2")] = toggle(bg, layout::showStage2, "II", true, 9.0);
    art[idOf("showLeveller")] = toggle(bg, layout::showLeveller, "LEV", true);
    art[idOf("transShape")] = drawTransShape(bg);
    art[idOf("power")] = drawPower(bg);
    art[idOf("lampKey")] = drawLampKey(bg);
}

}  // namespace vexal::artwork

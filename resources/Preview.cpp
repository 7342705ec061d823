// A composite of the window for looking at the artwork: the background with
// frames of every control at its place, the meters showing levels and the
// read-outs printed the way the editor prints them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Artwork.h"
#include "ArtworkCatalogue.h"
#include "MeterScale.h"

namespace vexal::artwork {
namespace {

// Draws `height` rows of `image` from `sourceRow` at (x, y).
void blit(cairo_t* cr, const Image& image, int sourceRow, int x, int y, int width, int height) {
    if (height <= 0) return;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, width, height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, image.surface(), x, y - sourceRow);
    cairo_paint(cr);
    cairo_restore(cr);
}

void frame(cairo_t* cr, const Artwork& art, int id, Rect r, int index) {
    blit(cr, art.at(id), index * r.height(), r.left, r.top, r.width(), r.height());
}

void levelBar(cairo_t* cr, const Artwork& art, int x, double level, int offset, int baseRow, int lit, int unlit) {
    const int a = std::clamp(int((level + offset) * 6 + 0.5), 0, 360);
    blit(cr, art.at(lit), baseRow - a, x, kBarBottom - a, 15, a);
    blit(cr, art.at(unlit), baseRow - 360, x, kBarTop, 15, 360 - a);
}

void peakMarker(cairo_t* cr, const Artwork& art, int x, double peak, int baseRow) {
    const int e = std::clamp(int((peak + 60) * 6 + 0.5), 0, 360);
    if (e > 2) blit(cr, art.at(idOf("levelBarLitK")), baseRow - e, x, kBarBottom - e, 15, 3);
}

void print(cairo_t* cr, const Artwork& art, int font, int x, int y, const std::string& s, bool lcdSet) {
    const Rgb cell = lcdSet ? (font == idOf("fontRed") ? palette::alarm : palette::lcdInk) : palette::lcd;
    for (char c : s) {
        int g = (c & 0x7f) - 32 + (lcdSet ? 96 : 0);
        if (g < 0 || g > 191) g = 0;
        fillRect(cr, x, y - 7, 6, 8, cell);
        blit(cr, art.at(font), 8 * g, x, y - 7, 5, 8);
        x += 6;
    }
}

void peakReadout(cairo_t* cr, const Artwork& art, Rect r, int mode, double left, double right) {
    const int offset = mode == 1 ? 12 : mode == 2 ? 14 : mode == 3 ? 20 : 0;
    const int l = r.left, b = r.bottom;
    if (mode == 0) {
        print(cr, art, idOf("font"), l + 35, b - 2, "dBFS", false);
    } else {
        print(cr, art, idOf("font"), l + 35, b - 2, "    ", false);
        print(cr, art, idOf("font"), l + 38, b - 2, "dBr", false);
    }
    const double values[] = {left, right};
    for (int ch = 0; ch < 2; ++ch) {
        const bool over = values[ch] > 0;
        char t[32];
        std::snprintf(t, sizeof t, "%+2.1f", values[ch] + offset);
        const int cellLeft = l + 1 + 60 * ch;
        fillRect(cr, Rect{cellLeft, b - 10, cellLeft + 31, b - 1}, over ? palette::alarm : palette::lcdInk);
        const int n = int(std::string(t).size());
        print(cr, art, over ? idOf("fontRed") : idOf("font"), l + 17 + 60 * ch - 3 * n, b - 2, t, true);
    }
}

void field(cairo_t* cr, Rect r, const char* s, Rgb ink) {
    text(cr, s, (r.left + r.right) / 2.0, r.top + (r.height() + 7) / 2.0, 10, ink, Align::centre, false);
}

int knobFrame(double value) { return int(std::lround(value * 100)); }

}  // namespace

Image drawPreview(const Artwork& art) {
    using namespace layout;
    Image out(524, 462);
    cairo_t* cr = out.context();
    blit(cr, art.at(idOf("background")), 0, 0, 0, 524, 462);

    frame(cr, art, idOf("detectorOrder"), detectorOrder, 1);
    frame(cr, art, idOf("oversample"), oversample, 0);
    frame(cr, art, idOf("meterMode"), meterMode, 0);
    frame(cr, art, idOf("quantize"), quantize, 1);
    frame(cr, art, idOf("autoblack"), autoblack, 1);
    frame(cr, art, idOf("bits"), bits, 4);
    frame(cr, art, idOf("noiseShape"), noiseShape, 5);
    frame(cr, art, idOf("calibrate"), calibrate, 0);
    frame(cr, art, idOf("attZoom"), attZoom, 0);
    frame(cr, art, idOf("showStage1"), showStage1, 1);
    frame(cr, art, idOf("showStage2"), showStage2, 1);
    frame(cr, art, idOf("showLeveller"), showLeveller, 0);
    frame(cr, art, idOf("transientKnob"), transient, knobFrame(0.2));
    frame(cr, art, idOf("releaseKnob"), release, knobFrame(0.7237));
    frame(cr, art, idOf("levellerKnob"), leveller, knobFrame(1.0));
    frame(cr, art, idOf("linkKnob"), link, knobFrame(1.0));
    frame(cr, art, idOf("transShape"), transShape, 0);
    frame(cr, art, idOf("power"), power, 1);
    frame(cr, art, idOf("driveKnob"), drive, knobFrame(0.62));
    frame(cr, art, idOf("outputKnob"), output, knobFrame(0.98));
    frame(cr, art, idOf("lampKey"), autoOut, 0);
    frame(cr, art, idOf("lampKey"), postMeter, 1);
    frame(cr, art, idOf("meterOvs"), meterOvs, 1);

    // Input: peak mode; output: K-14 with held peaks.
    blit(cr, art.at(idOf("inputScalePeak")), 0, inputScale.left, inputScale.top, 27, 367);
    levelBar(cr, art, 150, -4.2, 48, kPeakBaseRow, idOf("levelBarLitPeak"), idOf("levelBarUnlitPeak"));
    levelBar(cr, art, 191, 0.0, 48, kPeakBaseRow, idOf("levelBarLitPeak"), idOf("levelBarUnlitPeak"));
    blit(cr, art.at(idOf("outputScaleK14")), 0, outputScale.left, outputScale.top, 27, 367);
    levelBar(cr, art, 320, -15.5, 60, kK14BaseRow, idOf("levelBarLitK"), idOf("levelBarUnlitK"));
    levelBar(cr, art, 363, -12.5, 60, kK14BaseRow, idOf("levelBarLitK"), idOf("levelBarUnlitK"));
    peakMarker(cr, art, 320, -1.2, kK14BaseRow);
    peakMarker(cr, art, 363, -0.4, kK14BaseRow);
    // Gain reduction: 5.5 and 3 dB on the 24 dB scale.
    blit(cr, art.at(idOf("gainScale")), 0, gainMeter.left, gainMeter.top, 58, 153);
    blit(cr, art.at(idOf("gainBar")), 0, 234, 42, 15, 1 - int(-5.5 * 6 - 0.5));
    blit(cr, art.at(idOf("gainBar")), 0, 275, 42, 15, 1 - int(-3.0 * 6 - 0.5));

    peakReadout(cr, art, inputReadout, 0, -0.3, 0.2);
    peakReadout(cr, art, outputReadout, 2, -0.4, -1.2);
    print(cr, art, idOf("font"), gainReadout.left + 41, gainReadout.bottom - 2, "dB", false);
    fillRect(cr, Rect{gainReadout.left + 1, gainReadout.bottom - 10, gainReadout.left + 32, gainReadout.bottom - 1},
             palette::lcdInk);
    fillRect(cr, Rect{gainReadout.left + 61, gainReadout.bottom - 10, gainReadout.left + 92, gainReadout.bottom - 1},
             palette::lcdInk);
    print(cr, art, idOf("font"), gainReadout.left + 17 - 12, gainReadout.bottom - 2, "-7.8", true);
    print(cr, art, idOf("font"), gainReadout.left + 77 - 12, gainReadout.bottom - 2, "-6.1", true);

    field(cr, driveValue, "+5.76dB", palette::lcd);
    field(cr, outputValue, "-0.24dB", palette::lcd);
    field(cr, transientValue, "20.0%", Rgb{39, 39, 39});
    field(cr, releaseValue, "200.3ms", Rgb{39, 39, 39});
    field(cr, levellerValue, "off", Rgb{39, 39, 39});
    field(cr, linkValue, "100.0%", Rgb{39, 39, 39});
    text(cr, "Mastering Default", (programName.left + programName.right) / 2.0, 458, 10, Rgb{36, 36, 32},
         Align::centre, false);

    frame(cr, art, idOf("save"), saveBank, 0);
    frame(cr, art, idOf("defaultBank"), defaultBank, 1);
    frame(cr, art, idOf("load"), loadBank, 0);
    frame(cr, art, idOf("save"), savePreset, 0);
    frame(cr, art, idOf("defaultProgram"), defaultProgram, 0);
    frame(cr, art, idOf("load"), loadPreset, 2);
    frame(cr, art, idOf("rocker"), rocker, 2);
    frame(cr, art, idOf("save"), storeA, 0);
    frame(cr, art, idOf("load"), recallA, 0);
    frame(cr, art, idOf("save"), storeB, 0);
    frame(cr, art, idOf("load"), recallB, 0);
    frame(cr, art, idOf("manual"), manual, 0);
    cairo_destroy(cr);
    return out;
}

}  // namespace vexal::artwork

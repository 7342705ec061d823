// The window background: ground, section rules, meter wells, read-out and
// text-field recesses, the names of the controls, the logo and the preset
// bar strip. Controls cover their own rectangles; the ground under them is
// flat so that their frames (cut from this image) blend in.
#include "Artwork.h"

namespace vexal::artwork {
namespace {

using namespace layout;

constexpr double kLabelSize = 7.0;
constexpr double kHeadingSize = 8.0;
constexpr double kKnobLabelBaseline = 347;

double centreX(Rect r) { return (r.left + r.right) / 2.0; }

// Every control's name is centred on it, in the narrow face: two switches
// side by side leave a 4-pixel gap between their names.
void label(cairo_t* cr, const char* s, Rect control, double baseline) {
    text(cr, s, centreX(control), baseline, kLabelSize, palette::label, Align::centre, true, true);
}

void heading(cairo_t* cr, const char* s, double x, double baseline) {
    text(cr, s, x, baseline, kHeadingSize, palette::labelDim, Align::centre, true);
}

// An engraved vertical rule: a dark line with a light one beside it.
void rule(cairo_t* cr, int x, int top, int bottom) {
    fillRect(cr, x, top, 1, bottom - top, palette::shadow);
    fillRect(cr, x + 1, top, 1, bottom - top, palette::bevel);
}

void hrule(cairo_t* cr, int left, int right, int y) {
    fillRect(cr, left, y, right - left, 1, palette::shadow);
    fillRect(cr, left, y + 1, right - left, 1, palette::bevel);
}

// Read-outs: an LCD strip whose cells the meters fill.
void lcdStrip(cairo_t* cr, Rect r) { recess(cr, r, palette::lcd); }

void drawSections(cairo_t* cr) {
    fillRect(cr, 0, 0, 524, 462, palette::panel);
    // Header band.
    fillRect(cr, 0, 0, 524, 22, palette::panelLight);
    fillRect(cr, 0, 22, 524, 1, palette::shadow);
    heading(cr, "LIMITER", 70, 15);
    heading(cr, "METERS", 263, 15);
    heading(cr, "REQUANTIZER  /  OUTPUT", 455, 15);
    rule(cr, 139, 23, 406);
    rule(cr, 385, 23, 406);
}

void drawMeterWells(cairo_t* cr) {
    recess(cr, Rect{148, 38, 207, 405}, palette::groove);
    recess(cr, Rect{320, 38, 378, 405}, palette::groove);
    recess(cr, gainMeter, palette::groove);
    label(cr, "INPUT", inputMeter, 33);
    label(cr, "GAIN REDUCTION", gainMeter, 33);
    label(cr, "OUTPUT", outputMeter, 33);
    lcdStrip(cr, inputReadout);
    lcdStrip(cr, outputReadout);
    lcdStrip(cr, gainReadout);
}

void drawLeftSection(cairo_t* cr) {
    label(cr, "ORDER", detectorOrder, 35);
    label(cr, "OVERSAMPLE", oversample, 35);
    label(cr, "TRANSIENT SHAPE", transShape, 116);
    label(cr, "TRANSIENT", transient, 162);
    recess(cr, transientValue, palette::lcdField);
    label(cr, "RELEASE", release, 260);
    recess(cr, releaseValue, palette::lcdField);
    // Midway between the field above and the dial below (its ring starts
    // 4 pixels into the knob's rectangle).
    label(cr, "DRIVE", drive, kKnobLabelBaseline);
    recess(cr, driveValue, palette::darkField);
    label(cr, "POST", postMeter, 364);
}

void drawRightSection(cairo_t* cr) {
    label(cr, "QUANTIZE", quantize, 35);
    label(cr, "AUTOBLACK", autoblack, 35);
    label(cr, "BITS", bits, 73);
    label(cr, "NOISE SHAPE", noiseShape, 73);
    label(cr, "LEVELLER", leveller, 162);
    recess(cr, levellerValue, palette::lcdField);
    label(cr, "L/R LINK", link, 260);
    recess(cr, linkValue, palette::lcdField);
    label(cr, "OUTPUT", output, kKnobLabelBaseline);
    recess(cr, outputValue, palette::darkField);
    label(cr, "AUTO", autoOut, 364);
}

void drawCentreSection(cairo_t* cr) {
    label(cr, "SHOW", Rect{showStage2.left, 0, showLeveller.right, 0}, 226);
    label(cr, "SCALE", meterMode, 301);
    label(cr, "METER OVS", meterOvs, 303);
    label(cr, "CALIBRATE", calibrate, 337);
    // Between the logo above and the switch's ring below.
    label(cr, "POWER", power, 397);
}

void drawLogo(cairo_t* cr) {
    const double cx = centreX(logo);
    // Kept high in its area: the Power switch's name sits beneath it.
    const double vexal = textWidth(cr, "Vexal", 13, true);
    const double zvk = textWidth(cr, "ZVK ", 13, true);
    const double left = cx - (zvk + vexal) / 2;
    text(cr, "ZVK ", left, 379, 13, palette::accent, Align::left, true);
    text(cr, "Vexal", left + zvk, 379, 13, palette::lcd, Align::left, true);
    text(cr, "Ortelwerk", cx, 388, 7, palette::labelDim, Align::centre, false);
}

void drawPresetStrip(cairo_t* cr) {
    const int top = presetBarTop - 3;
    fillRect(cr, 0, top, 524, 462 - top, Rgb{30, 32, 36});
    hrule(cr, 0, 524, top - 1);
    text(cr, "BANK", centreX(Rect{saveBank.left, 0, loadBank.right, 0}), 440, 7, palette::labelDim, Align::centre, true);
    text(cr, "PRESET", centreX(Rect{savePreset.left, 0, loadPreset.right, 0}), 440, 7, palette::labelDim,
         Align::centre, true);
    text(cr, "PROGRAM", programName.left, 440, 7, palette::labelDim, Align::left, true);
    text(cr, "STORE / RECALL", centreX(Rect{storeA.left, 0, recallB.right, 0}), 440, 7, palette::labelDim,
         Align::centre, true);
    text(cr, "A", centreX(Rect{storeA.right, 0, recallA.left, 0}), 458, 9, palette::label, Align::centre, true);
    text(cr, "B", centreX(Rect{storeB.right, 0, recallB.left, 0}), 458, 9, palette::label, Align::centre, true);
    // Program name field and the menu's arrow key.
    recess(cr, Rect{programName.left + 1, programName.top + 1, programName.right - 1, programName.bottom - 1},
           palette::lcdField);
    drawCap(cr, programMenu, palette::cap);
    const int cx = (programMenu.left + programMenu.right) / 2;
    for (int j = 0; j < 4; ++j) fillRect(cr, cx - j, 456 - j, 2 * j + 1, 1, palette::label);
}

}  // namespace

Image drawBackground() {
    Image background(524, 462);
    cairo_t* cr = background.context();
    drawSections(cr);
    drawMeterWells(cr);
    drawLeftSection(cr);
    drawCentreSection(cr);
    drawRightSection(cr);
    drawLogo(cr);
    drawPresetStrip(cr);
    cairo_destroy(cr);
    return background;
}

}  // namespace vexal::artwork

#include "Plot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "PngFile.h"
#include "UsageError.h"

namespace vexal::cli {

namespace plot {
double x(double seconds, double duration) { return kLeft + (kRight - kLeft) * seconds / std::max(duration, 1e-9); }
double levelY(double dB) {
    const double clamped = std::clamp(dB, kBottomDb, kTopDb);
    return kLevelTop + (kLevelBottom - kLevelTop) * (kTopDb - clamped) / (kTopDb - kBottomDb);
}
double gainY(double dB) {
    const double clamped = std::clamp(dB, kGainBottomDb, 0.0);
    return kGainTop + (kGainBottom - kGainTop) * clamped / kGainBottomDb;
}
}  // namespace plot

namespace {

using namespace plot;

double decibelsOf(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

void colour(cairo_t* cr, const Colour& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void text(cairo_t* cr, double x, double y, const std::string& s, double size = 15) {
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

// A curve of values per 100 ms (each drawn at the end of its 100 ms), in a
// panel's decibel scale; the first point at `offset` values in.
template <typename T, typename ToDb, typename ToY>
void curve(cairo_t* cr, const std::vector<T>& values, size_t offset, double duration, ToDb toDb, ToY toY,
           const Colour& c, double width) {
    colour(cr, c);
    cairo_set_line_width(cr, width);
    bool drawing = false;
    for (size_t i = 0; i < values.size(); ++i) {
        const double dB = toDb(static_cast<double>(values[i]));
        if (!std::isfinite(dB)) {
            drawing = false;
            continue;
        }
        const double px = x(0.1 * static_cast<double>(i + offset + 1), duration), py = toY(dB);
        if (drawing)
            cairo_line_to(cr, px, py);
        else
            cairo_move_to(cr, px, py);
        drawing = true;
    }
    cairo_stroke(cr);
}

// A dashed level across the panel, labelled at its left or right end.
void level(cairo_t* cr, double dB, const Colour& c, const std::string& label, bool right) {
    colour(cr, c);
    cairo_set_line_width(cr, 2);
    const double dash[] = {10, 6};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, kLeft, levelY(dB));
    cairo_line_to(cr, kRight, levelY(dB));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    text(cr, right ? kRight - 220 : kLeft + 12, levelY(dB) - 6, label, 14);
}

void axes(cairo_t* cr, double duration) {
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_set_line_width(cr, 1);
    for (double dB = kTopDb; dB >= kBottomDb; dB -= 6) {
        cairo_move_to(cr, kLeft, levelY(dB));
        cairo_line_to(cr, kRight, levelY(dB));
    }
    for (double dB = 0; dB >= kGainBottomDb; dB -= 6) {
        cairo_move_to(cr, kLeft, gainY(dB));
        cairo_line_to(cr, kRight, gainY(dB));
    }
    // Time lines at a round step giving 5 to 12 of them.
    double step = 1;
    for (double s : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1200.0})
        if (duration / s <= 12) {
            step = s;
            break;
        }
    for (double t = 0; t <= duration + 1e-9; t += step) {
        cairo_move_to(cr, x(t, duration), kLevelTop);
        cairo_line_to(cr, x(t, duration), kGainBottom);
    }
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    char label[32];
    for (double dB = kTopDb; dB >= kBottomDb; dB -= 6) {
        std::snprintf(label, sizeof label, "%+.0f", dB);
        text(cr, kLeft - 45, levelY(dB) + 5, dB == 0 ? "0" : label, 13);
    }
    for (double dB = 0; dB >= kGainBottomDb; dB -= 6) {
        std::snprintf(label, sizeof label, "%.0f", dB);
        text(cr, kLeft - 45, gainY(dB) + 5, label, 13);
    }
    for (double t = 0; t <= duration + 1e-9; t += step) {
        std::snprintf(label, sizeof label, "%g s", t);
        text(cr, x(t, duration) - 12, kGainBottom + 22, label, 13);
    }
    text(cr, 12, kLevelTop - 12, "dBFS / dBTP / LUFS", 13);
    text(cr, 12, kGainTop - 12, "gain reduction, dB", 13);
    cairo_rectangle(cr, kLeft, kLevelTop, kRight - kLeft, kLevelBottom - kLevelTop);
    cairo_rectangle(cr, kLeft, kGainTop, kRight - kLeft, kGainBottom - kGainTop);
    cairo_stroke(cr);
}

void legend(cairo_t* cr, const PlotData& d) {
    struct Entry {
        Colour c;
        const char* label;
        bool shown;
    };
    const Entry entries[] = {{kInputPeak, "input sample peak", d.input != nullptr},
                             {kInputTruePeak, "input true peak", d.input != nullptr},
                             {kOutputPeak, "output sample peak", d.output != nullptr},
                             {kOutputTruePeak, "output true peak", d.output != nullptr},
                             {kShortTerm, "short-term loudness", true},
                             {kTarget, "target", d.hasTarget},
                             {kCeiling, "ceiling", d.hasCeiling},
                             {kGain, "gain reduction", !d.gain.empty()}};
    double at = kLeft;
    for (const Entry& e : entries) {
        if (!e.shown) continue;
        colour(cr, e.c);
        cairo_rectangle(cr, at, 40, 22, 6);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        text(cr, at + 28, 48, e.label, 14);
        at += 40 + 8.2 * static_cast<double>(std::string(e.label).size());
    }
}

}  // namespace

void drawPlot(const std::string& path, const PlotData& d, Existing existing) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    text(cr, kLeft, 24, d.title, 17);
    axes(cr, d.seconds);
    legend(cr, d);
    auto db = [](double v) { return decibelsOf(v); };
    auto lufs = [](double v) { return v; };
    const LoudnessFigures* loudest = d.output ? d.output : d.input;
    if (d.input) {
        curve(cr, d.input->peakTrace, 0, d.seconds, db, levelY, kInputPeak, 1.2);
        curve(cr, d.input->truePeakTrace, 0, d.seconds, db, levelY, kInputTruePeak, 1.2);
    }
    if (d.output) {
        curve(cr, d.output->peakTrace, 0, d.seconds, db, levelY, kOutputPeak, 1.4);
        curve(cr, d.output->truePeakTrace, 0, d.seconds, db, levelY, kOutputTruePeak, 1.6);
    }
    char label[96];
    if (loudest) {
        // Short-term values start once 3 s are in.
        curve(cr, loudest->shortTermTrace, 29, d.seconds, lufs, levelY, kShortTerm, 2.2);
        if (std::isfinite(loudest->integrated)) {
            std::snprintf(label, sizeof label, "integrated %.1f LUFS", loudest->integrated);
            level(cr, loudest->integrated, kShortTerm, label, false);
        }
    }
    if (d.hasTarget) {
        std::snprintf(label, sizeof label, "target %.1f LUFS", d.targetLufs);
        level(cr, d.targetLufs, kTarget, label, true);
    }
    if (d.hasCeiling) {
        std::snprintf(label, sizeof label, "ceiling %+.2f dBTP", d.ceilingDbtp);
        level(cr, d.ceilingDbtp, kCeiling, label, true);
    }
    // The gain while the latency flushes out lies beyond the end.
    std::vector<float> gain = d.gain;
    gain.resize(std::min(gain.size(), static_cast<size_t>(std::ceil(d.seconds * 10.0 - 1e-9))));
    curve(cr, gain, 0, d.seconds, db, gainY, kGain, 1.6);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    try {
        writePng(surface, path, existing);
    } catch (...) {
        cairo_surface_destroy(surface);
        throw;
    }
    cairo_surface_destroy(surface);
}

}  // namespace vexal::cli

// Every bitmap of the editor, one row each: the number it is embedded under,
// its name, its size, how many frames it stacks from the top and where the
// window shows it. The artwork generator draws from this table, the build
// embeds what it lists, the editor and the artwork test look bitmaps up in
// it by name; a name that is not here, or a size that does not fit its
// place, does not compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "WindowLayout.h"

namespace vexal::artwork {

struct BitmapInfo {
    int32_t id;
    std::string_view name;
    int width, height;
    int frames;
    Rect place;  // the first place it is shown at; none where the editor places it itself

    constexpr int frameHeight() const { return height / frames; }
};

// In increasing id order.
inline constexpr BitmapInfo kBitmaps[] = {
    {128, "background", 524, 462, 1, layout::window},
    {129, "levelBarUnlitK", 15, 432, 1, layout::none},
    {130, "levelBarLitPeak", 15, 432, 1, layout::none},
    {131, "inputScaleK20", 27, 367, 1, layout::inputScale},
    {132, "inputScaleK14", 27, 367, 1, layout::inputScale},
    {133, "inputScalePeak", 27, 367, 1, layout::inputScale},
    {134, "outputScaleK20", 27, 367, 1, layout::outputScale},
    {135, "outputScaleK14", 27, 367, 1, layout::outputScale},
    {136, "outputScalePeak", 27, 367, 1, layout::outputScale},
    {137, "font", 5, 1536, 192, layout::none},
    {138, "fontRed", 5, 1536, 192, layout::none},
    {139, "detectorOrder", 33, 38, 2, layout::detectorOrder},
    {140, "oversample", 33, 38, 2, layout::oversample},
    {141, "meterMode", 35, 392, 7, layout::meterMode},
    {142, "bits", 33, 114, 6, layout::bits},
    {143, "noiseShape", 33, 133, 7, layout::noiseShape},
    {144, "attZoom", 33, 57, 3, layout::attZoom},
    {145, "calibrate", 33, 133, 7, layout::calibrate},
    {146, "transShape", 90, 75, 3, layout::transShape},
    {147, "levellerKnob", 48, 4747, 101, layout::leveller},
    {148, "linkKnob", 48, 4747, 101, layout::link},
    {149, "power", 35, 70, 2, layout::power},
    {150, "driveKnob", 56, 5555, 101, layout::drive},
    {151, "outputKnob", 58, 5656, 101, layout::output},
    {152, "transientKnob", 50, 4848, 101, layout::transient},
    {153, "releaseKnob", 49, 4747, 101, layout::release},
    {154, "levelBarLitK", 15, 432, 1, layout::none},
    {155, "levelBarUnlitPeak", 15, 432, 1, layout::none},
    {156, "gainBar", 15, 203, 1, layout::none},
    {158, "fontAmber", 5, 1536, 192, layout::none},
    {159, "fontGreen", 5, 1536, 192, layout::none},
    {160, "meterOvs", 33, 57, 3, layout::meterOvs},
    {161, "lampKey", 18, 72, 3, layout::autoOut},
    {162, "quantize", 33, 38, 2, layout::quantize},
    {163, "autoblack", 33, 57, 3, layout::autoblack},
    {164, "showStage1", 33, 57, 3, layout::showStage1},
    {165, "showStage2", 33, 57, 3, layout::showStage2},
    {166, "showLeveller", 33, 57, 3, layout::showLeveller},
    {167, "gainScale", 58, 306, 2, layout::gainMeter},
    {989, "manual", 11, 27, 3, layout::manual},
    {990, "load", 17, 45, 3, layout::loadBank},
    {991, "save", 17, 45, 3, layout::saveBank},
    {992, "defaultBank", 32, 39, 3, layout::defaultBank},
    {993, "defaultProgram", 44, 39, 3, layout::defaultProgram},
    {994, "menuArrow", 7, 7, 1, layout::none},
    {995, "rocker", 30, 65, 5, layout::rocker},
};

inline constexpr size_t kBitmapCount = std::size(kBitmaps);

// The bitmap of that name; used where a constant is expected, an unknown
// name stops the compiler.
consteval const BitmapInfo& bitmap(std::string_view name) {
    for (const BitmapInfo& b : kBitmaps)
        if (b.name == name) return b;
    throw "no bitmap of that name in the artwork catalogue";
}

consteval int32_t idOf(std::string_view name) { return bitmap(name).id; }

// The row of that number, or null.
constexpr const BitmapInfo* findBitmap(int32_t id) {
    for (const BitmapInfo& b : kBitmaps)
        if (b.id == id) return &b;
    return nullptr;
}

namespace catalogue_checks {
consteval bool ordered() {
    for (size_t i = 1; i < kBitmapCount; ++i)
        if (kBitmaps[i - 1].id >= kBitmaps[i].id) return false;
    return true;
}
consteval bool namesUnique() {
    for (size_t i = 0; i < kBitmapCount; ++i)
        for (size_t j = i + 1; j < kBitmapCount; ++j)
            if (kBitmaps[i].name == kBitmaps[j].name) return false;
    return true;
}
// Whole frames, each as large as the place it is shown at.
consteval bool framesFitTheirPlaces() {
    for (const BitmapInfo& b : kBitmaps) {
        if (b.frames < 1 || b.height % b.frames != 0) return false;
        if (!b.place.empty() && (b.place.width() != b.width || b.place.height() != b.frameHeight())) return false;
    }
    return true;
}
}  // namespace catalogue_checks
static_assert(catalogue_checks::ordered(), "bitmap numbers must increase");
static_assert(catalogue_checks::namesUnique(), "bitmap names must differ");
static_assert(catalogue_checks::framesFitTheirPlaces(), "a bitmap's frames must fill its place");

}  // namespace vexal::artwork

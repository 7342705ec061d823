// The window's geometry in pixels: where the artwork places the controls'
// bitmaps and what it draws around the rest. Read by the artwork generator
// and, through the artwork catalogue, by the editor.
#pragma once

namespace vexal::artwork {

struct Rect {
    int left, top, right, bottom;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool empty() const { return right <= left || bottom <= top; }
};

// Control rectangles in window pixels, where the artwork places the
// controls' bitmaps.
namespace layout {
inline constexpr Rect window{0, 0, 524, 462};
inline constexpr Rect none{0, 0, 0, 0};
inline constexpr Rect detectorOrder{44, 40, 77, 59};
inline constexpr Rect oversample{81, 40, 114, 59};
inline constexpr Rect meterMode{223, 305, 258, 361};
inline constexpr Rect quantize{412, 40, 445, 59};
inline constexpr Rect autoblack{449, 40, 482, 59};
inline constexpr Rect bits{412, 78, 445, 97};
inline constexpr Rect noiseShape{449, 78, 482, 97};
inline constexpr Rect calibrate{269, 341, 302, 360};
inline constexpr Rect attZoom{269, 265, 302, 284};
inline constexpr Rect showStage1{224, 265, 257, 284};
inline constexpr Rect showStage2{224, 230, 257, 249};
inline constexpr Rect showLeveller{269, 230, 302, 249};
inline constexpr Rect transient{55, 169, 105, 217};
inline constexpr Rect release{56, 267, 105, 314};
inline constexpr Rect leveller{421, 169, 469, 216};
inline constexpr Rect link{421, 267, 469, 314};
inline constexpr Rect transShape{38, 121, 128, 146};
inline constexpr Rect power{245, 400, 280, 435};
inline constexpr Rect drive{52, 349, 108, 404};
inline constexpr Rect output{417, 349, 475, 405};
inline constexpr Rect autoOut{394, 368, 412, 392};
inline constexpr Rect postMeter{116, 368, 134, 392};
inline constexpr Rect logo{224, 370, 301, 401};
inline constexpr Rect driveValue{43, 409, 117, 427};
inline constexpr Rect outputValue{410, 409, 484, 427};
inline constexpr Rect transientValue{45, 221, 119, 239};
inline constexpr Rect releaseValue{45, 319, 119, 337};
inline constexpr Rect levellerValue{411, 221, 485, 239};
inline constexpr Rect linkValue{411, 319, 485, 337};
inline constexpr Rect meterOvs{269, 307, 302, 326};
inline constexpr Rect inputMeter{147, 38, 207, 408};
inline constexpr Rect outputMeter{319, 38, 379, 406};
inline constexpr Rect gainMeter{233, 39, 291, 192};
inline constexpr Rect inputReadout{131, 415, 224, 426};
inline constexpr Rect outputReadout{303, 415, 396, 426};
inline constexpr Rect gainReadout{217, 199, 310, 210};
inline constexpr Rect inputScale{164, 38, 191, 405};
inline constexpr Rect outputScale{335, 38, 362, 405};
// Preset bar.
inline constexpr Rect saveBank{22, 447, 39, 462};
inline constexpr Rect defaultBank{39, 447, 71, 460};
inline constexpr Rect loadBank{72, 447, 89, 462};
inline constexpr Rect savePreset{104, 447, 121, 462};
inline constexpr Rect defaultProgram{122, 447, 166, 460};
inline constexpr Rect loadPreset{166, 447, 183, 462};
inline constexpr Rect programName{194, 447, 318, 461};
inline constexpr Rect programMenu{320, 448, 333, 460};
inline constexpr Rect rocker{340, 447, 370, 460};
inline constexpr Rect storeA{388, 447, 405, 462};
inline constexpr Rect recallA{421, 447, 438, 462};
inline constexpr Rect storeB{452, 447, 469, 462};
inline constexpr Rect recallB{486, 447, 503, 462};
inline constexpr Rect manual{510, 449, 521, 458};
inline constexpr int presetBarTop = 447;
}  // namespace layout

}  // namespace vexal::artwork

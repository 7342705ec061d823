// Where a level falls on the meters' scale images. The level meters' bars
// span window rows 42 (top) to 402 (bottom) at 6 pixels per dB; the gain-
// reduction bars grow down from row 42 at 6 (or, zoomed, 12) pixels per dB.
// A mark sits on the top-most lit row of a bar showing exactly that level.
#pragma once

#include <span>

namespace vexal::artwork {

inline constexpr int kBarTop = 42;
inline constexpr int kBarBottom = 402;
inline constexpr int kPixelsPerDb = 6;
inline constexpr int kLevelScaleTop = 38;  // window row of a scale image's row 0

// The three level scales, by the level written at their top.
enum class LevelScale { peakK12, k14, k20 };

constexpr int topLevel(LevelScale s) {
    return s == LevelScale::peakK12 ? 12 : s == LevelScale::k14 ? 14 : 20;
}

// Window row of the mark for `level` (as labelled on that scale).
constexpr int levelWindowRow(LevelScale s, int level) {
    return kBarTop + (topLevel(s) - level) * kPixelsPerDb;
}

constexpr int levelImageRow(LevelScale s, int level) {
    return levelWindowRow(s, level) - kLevelScaleTop;
}

// The levels written on each scale: every 4 dB down to -24, then every 6 dB
// and the bottom; a short mark every dB down to -24, then every 2 dB.
inline constexpr int kPeakK12Labels[] = {12, 8, 4, 0, -4, -8, -12, -16, -20, -24, -30, -36, -42, -48};
inline constexpr int kK14Labels[] = {14, 12, 8, 4, 0, -4, -8, -12, -16, -20, -24, -30, -36, -42, -46};
inline constexpr int kK20Labels[] = {20, 16, 12, 8, 4, 0, -4, -8, -12, -16, -20, -24, -30, -36, -40};

constexpr std::span<const int> labelledLevels(LevelScale s) {
    if (s == LevelScale::peakK12) return kPeakK12Labels;
    if (s == LevelScale::k14) return kK14Labels;
    return kK20Labels;
}

// Row of a bar image shown at a window row, for the base row of a mode.
constexpr int barImageRow(int windowRow, int baseRow) { return windowRow + baseRow - kBarBottom; }

inline constexpr int kPeakBaseRow = 408;
inline constexpr int kK12BaseRow = 432;
inline constexpr int kK14BaseRow = 420;
inline constexpr int kK20BaseRow = 384;

// Lit K-mode image: the K-system zero; lit peak-mode image: 0 dBFS.
inline constexpr int kKZeroRow = 144;
inline constexpr int kFullScaleRow = 120;

// Gain reduction: scale image 167 holds the 24 dB scale in rows 0-152 and
// the 12 dB scale in rows 153-305; the view's top is window row 39.
inline constexpr int kGainViewTop = 39;
inline constexpr int kGainScaleHeight = 153;

constexpr int gainWindowRow(int depthDb, bool zoom) {
    return kBarTop + depthDb * (zoom ? 2 * kPixelsPerDb : kPixelsPerDb);
}

constexpr int gainImageRow(int depthDb, bool zoom) {
    return gainWindowRow(depthDb, zoom) - kGainViewTop + (zoom ? kGainScaleHeight : 0);
}

// Depths written on the gain-reduction scales (every 3 dB, or every 2 dB
// zoomed); a short mark every dB, and every half dB zoomed.
inline constexpr int kGainLabels[] = {0, 3, 6, 9, 12, 15, 18, 21, 24};
inline constexpr int kGainZoomLabels[] = {0, 2, 4, 6, 8, 10, 12};

}  // namespace vexal::artwork

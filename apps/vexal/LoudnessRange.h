// Loudness range (EBU Tech 3342) from short-term loudness values taken
// every 100 ms: the values above −70 LUFS, then those no more than 20 LU
// below their energy mean, and the distance from the 10th to the 95th
// percentile of what remains.
//
// libebur128's own figure takes a 3 s block once a second; on a short file
// that is a few dozen values, and a programme whose loudness changes on a
// beat is sampled at one phase of it (30 s of notes every 0.5 s read 4.9 LU
// where 10 values a second give 6.1). Ten a second is what ffmpeg's meter
// takes too; it reads the percentiles from a histogram of 0.1 LU bins, which
// on a short file with few distinct levels can move them by a few tenths
// (docs/vexal.md).
#pragma once

#include <vector>

namespace vexal::cli {

// LU; 0 when fewer than two values pass the gates.
double loudnessRange(std::vector<double> shortTermLufs);

}  // namespace vexal::cli

// The envelope convolver: smooths each channel's short-window peak envelope
// with the `smoothKernel` taps. Values are collected in blocks of N; when a
// block is complete its linear convolution with the kernel (2N − 1 values) is
// computed, the first N are added to the previous block's tail and read out
// one per sample, the last N − 1 become the next tail. Output at time t is
// z[t − (N − 1)] with z[t] = Σ h_i · m[t − i].
//
// Legend (all pairs L/R, N = smoothLen, reset to 0):
//   block[N]   values collected since the last completed block
//   ready[N]   block output plus previous tail, read at k = 0 … N − 1
//   tail[N]    last N − 1 values of the latest convolution and a final 0
//   position   slot of the next value, 0 … N − 1
#pragma once

#include <cstdint>

#include "KernelVariant.h"
#include "RealFft.h"

namespace vexal {

class BlockConvolver {
public:
    // Storage for the largest length, carved from EngineState's allocation.
    static constexpr int32_t kDoublesNeeded =
        2 * 256 * 5 + 2 * 258 * 2 + 256 + 258 * 2 + 2 * 256 + 4 * 2 * 258;
    void attach(double* storage, const FftTwiddles* twiddles);

    // Taps of length n (8 … 256); precomputes the kernel's transform.
    void setKernel(const double* taps, int32_t n);
    // Block, ready and tail buffers and the position to 0.
    void clear();

    int32_t length() const { return n; }
    bool usesFft() const { return fftOn; }
    // Chooses the method (the kernel's length picks the faster by default).
    void forceMethod(bool fft) { fftOn = fft; }
    // The instruction sets the transforms and sums may use: those of the
    // kernel variant (one the processor runs; the chosen one by default). The
    // bits are the same.
    void setVariant(KernelVariant variant) {
        avx2 = variant >= KernelVariant::avx2;
        avx512 = variant >= KernelVariant::avx512;
    }

    // One pair in, one pair out (lanes as stored at value[0], value[1]).
    template <class V>
    V push(V value) {
        value.store(block + 2 * position);
        if (position == n - 1) {
            if (fftOn)
                convolveFft<V>();
            else
                convolveDirect<V>();
            position = 0;
            return V::load(ready);
        }
        ++position;
        return V::load(ready + 2 * position);
    }

    // A run of count pairs: out receives, pair by pair, what push would
    // return for in. A block that lies whole within the run is convolved
    // where it stands, without the copy (nor the wait for it to be stored).
    template <class V>
    void pushRun(const double* in, double* out, int32_t count) {
        for (int32_t done = 0; done < count;) {
            const int32_t run = count - done < n - position ? count - done : n - position;
            const double* from = in + 2 * done;
            double* to = out + 2 * done;
            const bool completes = position + run == n;
            // Each value before the block's last reads the ready pair after its slot.
            const int32_t plain = completes ? run - 1 : run;
            for (int32_t i = 0; i < plain; ++i) V::load(ready + 2 * (position + 1 + i)).store(to + 2 * i);
            if (!completes || position != 0 || fftOn)
                for (int32_t i = 0; i < run; ++i) V::load(from + 2 * i).store(block + 2 * (position + i));
            if (completes) {
                if (fftOn)
                    convolveFft<V>();
                else
                    convolveDirectFrom<V>(position == 0 ? from : block);
                V::load(ready).store(to + 2 * plain);
                position = 0;
            } else {
                position += run;
            }
            done += run;
        }
    }

    // The full convolution of the current block into ready/tail (test seam).
    template <class V>
    void convolveDirect() {
        convolveDirectFrom<V>(block);
    }
    template <class V>
    void convolveFft();

    const double* kernelTaps() const { return taps; }

private:
    // The direct convolution of the n pairs at values.
    template <class V>
    void convolveDirectFrom(const double* values);
    template <class V, int LogN>
    void convolveFftSized();
    template <class T, int LogN>
    void convolveFftLanes();
    template <class T, int LogN>
    void middleQuad(int32_t k);
    template <class T>
    void splitAt(T zr, T zi, T mirrorR, T mirrorI, int32_t bin, bool up, T& yr, T& yi) const;
    template <int LogN>
    void convolveFftAvx2();

    double* block = nullptr;
    double* ready = nullptr;
    double* tail = nullptr;
    double* work = nullptr;       // 2 × 258 pairs: spectrum or inverse's points, re, im
    double* taps = nullptr;       // n doubles
    double* tapPairs = nullptr;   // the same, each held for both channels
    double* spectrumRe = nullptr; // n + 1 doubles, kernel transform / (4n)
    double* spectrumIm = nullptr;
    double* scratch = nullptr;    // 2 × 256 pairs: the transform's points, re, im
    // Per bin k = 0 … n, each held for both channels (the AVX2 transform):
    double* splitCos = nullptr;   // the split's twiddle cos, −1 at k = n
    double* splitSin = nullptr;   // its sin, 0 at k = n
    double* binRe = nullptr;      // spectrumRe
    double* binIm = nullptr;      // spectrumIm
    const FftTwiddles* twiddles = nullptr;
    int32_t n = 8;
    int32_t logN = 3;
    int32_t position = 0;
    bool fftOn = false;
    bool avx2 = selectedKernelVariant() >= KernelVariant::avx2;
    bool avx512 = selectedKernelVariant() >= KernelVariant::avx512;
};

}  // namespace vexal

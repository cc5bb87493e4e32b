// Cross-sum kernels of the level search: integer dot products of model rows with image rows
// for a run of consecutive window positions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qxm::imlib {

// Positions computed together by every kernel; callers round runs up to a multiple of this.
inline constexpr int kPositionBlock = 4;
// Model rows are padded with zeros to a multiple of this many taps.
inline constexpr int kTapBlock = 16;

// out[i] = sum over r < rows, k < taps of img[r * stride + i + k] * coef[r * taps + k], for
// i in [0, n). taps is a multiple of kTapBlock; every image row must be readable from index 0
// up to (n rounded up to kPositionBlock) - 1 + taps. Values are 0..255 (the exact sums need
// 64 bits for the largest models; partial sums of 16 rows fit in 32 bits).
using CrossRowFn = void (*)(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef,
                            int rows, int taps, int n, int64_t* out);

void crossRowScalar(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                    int taps, int n, int64_t* out);
#if defined(__x86_64__) || defined(__i386__)
#define QXM_IMLIB_X86 1
void crossRowSse2(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                  int taps, int n, int64_t* out);
void crossRowAvx2(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                  int taps, int n, int64_t* out);
bool cpuHasAvx2();
#endif

// The same for two rows of windows at once: out0 for the windows whose top row is `img`,
// out1 for those one row further down; every image row from img to the last one read by the
// second row of windows must be readable as above.
using CrossRow2Fn = void (*)(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef,
                             int rows, int taps, int n, int64_t* out0, int64_t* out1);
#if defined(__x86_64__) || defined(__i386__)
void crossRow2Avx2(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                   int taps, int n, int64_t* out0, int64_t* out1);
#endif

// One row of a pair of summed-area tables: for c in [0, n), out1[c + 1] = up1[c + 1] + the sum
// of p[0..c], out2 likewise with the squares, modulo 2^32; out1[0] = out2[0] = 0. Pixel
// values are 0..255.
using SummedRowFn = void (*)(const int16_t* p, const uint32_t* up1, const uint32_t* up2, int n,
                             uint32_t* out1, uint32_t* out2);

void summedRowScalar(const int16_t* p, const uint32_t* up1, const uint32_t* up2, int n,
                     uint32_t* out1, uint32_t* out2);
#if defined(__x86_64__) || defined(__i386__)
void summedRowAvx2(const int16_t* p, const uint32_t* up1, const uint32_t* up2, int n,
                   uint32_t* out1, uint32_t* out2);
#endif

// One row of running column sums: out1[c] = up1[c] + p[c], out2[c] = up2[c] + p[c]^2 for c in
// [0, n), modulo 2^32. Pixel values are 0..255.
using RunningColumnsFn = void (*)(const int16_t* p, const uint32_t* up1, const uint32_t* up2, int n,
                                  uint32_t* out1, uint32_t* out2);

// Column sums and square sums of the window rows: s1[u] += in[u], s2[u] += in[u]^2 and, unless
// `out` is null, the same of out[u] taken away, for u in [0, n).
using ColumnsFn = void (*)(const int16_t* in, const int16_t* out, int32_t* s1, int32_t* s2, int n);

// Scores of a row of n windows of `pixels` pixels each: window u's pixel sum sx is
// q1[u + span] - q1[u], its square sum sxx q2[u + span] - q2[u], its cross sum with the model
// sxm cross[u] (all of them at least 0 and below 2^52); sm and vm are the model's sum and
// variance term (vm > 0). out[u] is
//     d * d / (vm * vi) * 100 with vi = |pixels * sxx - sx * sx|, d = pixels * sxm - sx * sm
// when vi != 0 and d > 0, else 0, rounded as written.
using ScoresFn = void (*)(const int64_t* q1, const int64_t* q2, int span, const int64_t* cross,
                          int n, double pixels, double sm, double vm, double* out);

// The terms of the bounds of bounded scoring for windows of width x height pixels: band j
// covers the window rows [top[j], bottom[j]); bands 1 to count - 1 are bounded (band 0 is
// always computed). For each band, 1 / its pixels, the model's sum over it and its variance
// term (with margins for rounding); `pixels` is the window's pixel count.
struct BandTerms {
    int32_t count = 0, width = 0, height = 0;
    std::array<int32_t, 8> top{}, bottom{};
    std::array<double, 8> inr{}, mb{}, varM{};
    double pixels = 0;
};

// For the n windows whose top-left corners are at s1[u] and s2[u] (u < n) of summed-area
// tables of the pixels and their squares (row stride `stride`, modulo 2^32): each window's
// pixel sum wsum[u], its variance term wvar[u] = |pixels * square sum - wsum^2|, and
// rest[j * pitch + u] for j from 1 to count, the most bands j to count - 1 can add to its
// cross sum with the model (0 for j = count): per band, by Cauchy-Schwarz on the centred
// values, ib * mb * inr + sqrt(varI * varM) with varI = max(ibb - ib * ib * inr, 0) +
// 1e-12 * ibb + 1 from the band's image sums ib, ibb; rounded as written.
using BoundsFn = void (*)(const uint32_t* s1, const uint32_t* s2, std::ptrdiff_t stride,
                          const BandTerms& t, int n, double* wsum, double* wvar, double* rest,
                          std::size_t pitch);

// The constants of the give-up test of bounded scoring: the window's pixel count, the model's
// sum and variance term, and the bar.
struct PruneTerms {
    double pixels = 0, sm = 0, vm = 0, bar = 0;
};

// Gives up each of the n windows still alive (alive[i] != 0) whose score provably stays below
// the bar even if the rows still to come add rest[i] to its cross sum partial[i] (0 <= partial
// < 2^52): with wsum[i] = sx, wvar[i] = vi, u2 = (partial + rest) * (1 + 1e-9) + 1 and
// dub = (pixels * u2 - sx * sm) + 1e-9 * (pixels * u2 + |sx * sm|) + 1, alive[i] becomes 0
// when vi == 0, dub <= 0 or dub * dub * 100 <= bar * (vm * vi) * (1 - 1e-9), rounded as
// written.
using PruneFn = void (*)(const int64_t* partial, const double* rest, const double* wsum,
                         const double* wvar, int n, const PruneTerms& t, uint8_t* alive);

// The routines that go with a cross-sum kernel: with AVX2's, the vector ones (the two-row
// routine loads each model row once for both rows of windows); with the others, plain
// compilations (the two-row routine runs the kernel twice).
struct Routines {
    CrossRow2Fn crossRow2;
    SummedRowFn summedRow;
    ColumnsFn columns;
    RunningColumnsFn runningColumns;
    ScoresFn scores;
    BoundsFn bounds;
    PruneFn prune;
};
Routines routinesFor(CrossRowFn kernel);

// The kernel of every search, chosen once: the one named by the environment variable
// QXM_IMLIB_KERNEL ("scalar", "sse2" or "avx2", in any case) if this processor runs it, else
// the fastest it runs. A name that is not taken is reported on stderr.
CrossRowFn crossRow();

// The choice itself: `named` is the variable's value (null or empty: none); `why` is left
// empty when the named kernel was taken or none was named, else it says why not.
CrossRowFn chooseCrossRow(const char* named, bool hasAvx2, std::string& why);

} // namespace qxm::imlib

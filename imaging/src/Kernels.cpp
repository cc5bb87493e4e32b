#include "Kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#if QXM_IMLIB_X86
#include <immintrin.h>
#endif

namespace qxm::imlib {

void crossRowScalar(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                    int taps, int n, int64_t* out) {
    for (int i = 0; i < n; ++i) {
        int64_t total = 0;
        for (int r = 0; r < rows; ++r) {
            const int16_t* p = img + r * stride + i;
            const int16_t* c = coef + std::ptrdiff_t(r) * taps;
            int32_t sum = 0; // one row: at most IM_SIZE_MAX * 255 * 255
            for (int k = 0; k < taps; ++k)
                sum += int32_t(p[k]) * c[k];
            total += sum;
        }
        out[i] = total;
    }
}

namespace {

template <bool Out>
__attribute__((always_inline)) inline void columnSums(const int16_t* in, const int16_t* out,
                                                      int32_t* s1, int32_t* s2, int n) {
    for (int u = 0; u < n; ++u) {
        const int32_t a = in[u];
        if constexpr (Out) {
            const int32_t b = out[u];
            s1[u] += a - b;
            s2[u] += a * a - b * b;
        } else {
            s1[u] += a;
            s2[u] += a * a;
        }
    }
}

__attribute__((always_inline)) inline void runningColumnSums(const int16_t* __restrict p,
                                                             const uint32_t* __restrict up1,
                                                             const uint32_t* __restrict up2, int n,
                                                             uint32_t* __restrict out1,
                                                             uint32_t* __restrict out2) {
    for (int c = 0; c < n; ++c) {
        const int32_t v = p[c];
        out1[c] = up1[c] + uint32_t(v);
        out2[c] = up2[c] + uint32_t(v * v);
    }
}

void runningColumnsDefault(const int16_t* p, const uint32_t* up1, const uint32_t* up2, int n,
                           uint32_t* out1, uint32_t* out2) {
    runningColumnSums(p, up1, up2, n, out1, out2);
}

void columnsDefault(const int16_t* in, const int16_t* out, int32_t* s1, int32_t* s2, int n) {
    if (out != nullptr)
        columnSums<true>(in, out, s1, s2, n);
    else
        columnSums<false>(in, out, s1, s2, n);
}

// Exact for 0 <= x < 2^52 (the sums of a search stay below 255^2 * 1024^2): the integer
// placed in the mantissa of 2^52, which is then taken away. Unlike a conversion instruction,
// this vectorises without AVX-512.
inline double exactDouble(int64_t x) {
    return std::bit_cast<double>(uint64_t(x) | 0x4330000000000000ull) - 0x1p52;
}

// Written so that the compiler vectorises it: every lane computes the score, the conditions
// only choose between it and 0 (a lane with vi == 0 divides by zero harmlessly).
inline void scoreLoop(const int64_t* q1, const int64_t* q2, int span, const int64_t* cross, int n,
                      double pixels, double sm, double vm, double* out) {
    for (int u = 0; u < n; ++u) {
        const double sx = exactDouble(q1[u + span] - q1[u]);
        const double sxx = exactDouble(q2[u + span] - q2[u]);
        const double sxm = exactDouble(cross[u]);
        const double vi = std::fabs(pixels * sxx - sx * sx);
        const double d = pixels * sxm - sx * sm;
        const double score = d * d / (vm * vi) * 100.0;
        out[u] = vi != 0.0 && d > 0.0 ? score : 0.0;
    }
}

void scoresDefault(const int64_t* q1, const int64_t* q2, int span, const int64_t* cross, int n,
                   double pixels, double sm, double vm, double* out) {
    scoreLoop(q1, q2, span, cross, n, pixels, sm, vm, out);
}

// A rectangle's sum from four entries of a summed-area table (modulo 2^32).
inline double rectSum(const uint32_t* t, std::ptrdiff_t lo, std::ptrdiff_t hi, int32_t w) {
    return double(uint32_t(t[hi + w] - t[hi] - t[lo + w] + t[lo]));
}

void boundsDefault(const uint32_t* s1, const uint32_t* s2, std::ptrdiff_t stride,
                   const BandTerms& t, int n, double* wsum, double* wvar, double* rest,
                   std::size_t pitch) {
    const std::ptrdiff_t whole = std::ptrdiff_t(t.height) * stride;
    for (int u = 0; u < n; ++u) {
        const double sx = rectSum(s1 + u, 0, whole, t.width);
        const double sxx = rectSum(s2 + u, 0, whole, t.width);
        wsum[u] = sx;
        wvar[u] = std::fabs(t.pixels * sxx - sx * sx);
        double r = 0.0;
        rest[std::size_t(t.count) * pitch + std::size_t(u)] = r;
        for (int j = t.count - 1; j >= 1; --j) {
            const std::ptrdiff_t lo = t.top[std::size_t(j)] * stride;
            const std::ptrdiff_t hi = t.bottom[std::size_t(j)] * stride;
            const double ib = rectSum(s1 + u, lo, hi, t.width);
            const double ibb = rectSum(s2 + u, lo, hi, t.width);
            const double inr = t.inr[std::size_t(j)];
            const double varI = std::max(ibb - ib * ib * inr, 0.0) + 1e-12 * ibb + 1.0;
            r = r + ib * t.mb[std::size_t(j)] * inr + std::sqrt(varI * t.varM[std::size_t(j)]);
            rest[std::size_t(j) * pitch + std::size_t(u)] = r;
        }
    }
}

void pruneDefault(const int64_t* partial, const double* rest, const double* wsum,
                  const double* wvar, int n, const PruneTerms& t, uint8_t* alive) {
    for (int i = 0; i < n; ++i) {
        if (!alive[i]) continue;
        const double u2 = (double(partial[i]) + rest[i]) * (1.0 + 1e-9) + 1.0;
        const double sx = wsum[i], vi = wvar[i];
        const double dub =
            (t.pixels * u2 - sx * t.sm) + 1e-9 * (t.pixels * u2 + std::fabs(sx * t.sm)) + 1.0;
        if (vi == 0.0 || dub <= 0.0 || dub * dub * 100.0 <= t.bar * (t.vm * vi) * (1.0 - 1e-9))
            alive[i] = 0;
    }
}

#if QXM_IMLIB_X86
// The same loops compiled for AVX2 (chosen at run time rather than through an indirect
// function, which sanitizer runtimes do not resolve reliably under every linker).
__attribute__((target("avx2"))) void runningColumnsAvx2(const int16_t* p, const uint32_t* up1,
                                                        const uint32_t* up2, int n, uint32_t* out1,
                                                        uint32_t* out2) {
    runningColumnSums(p, up1, up2, n, out1, out2);
}

__attribute__((target("avx2"))) void columnsAvx2(const int16_t* in, const int16_t* out, int32_t* s1,
                                                 int32_t* s2, int n) {
    if (out != nullptr)
        columnSums<true>(in, out, s1, s2, n);
    else
        columnSums<false>(in, out, s1, s2, n);
}

// Four windows at a time, each operation the one the plain loop does (no contraction, the
// same order), so every score is the same to the bit.
__attribute__((target("avx2"))) inline __m256d exactDoubles(__m256i x) {
    const __m256i mantissaOf252 = _mm256_set1_epi64x(0x4330000000000000ll);
    return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(x, mantissaOf252)),
                         _mm256_set1_pd(0x1p52));
}

__attribute__((target("avx2"))) inline __m256d load4(const int64_t* p) {
    return exactDoubles(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

__attribute__((target("avx2"))) inline __m256d span4(const int64_t* q, int span) {
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + span));
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    return exactDoubles(_mm256_sub_epi64(hi, lo));
}

__attribute__((target("avx2"))) void scoresAvx2(const int64_t* q1, const int64_t* q2, int span,
                                                const int64_t* cross, int n, double pixels,
                                                double sm, double vm, double* out) {
    const __m256d vp = _mm256_set1_pd(pixels), vsm = _mm256_set1_pd(sm);
    const __m256d vvm = _mm256_set1_pd(vm), hundred = _mm256_set1_pd(100.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffll));
    int u = 0;
    for (; u + 4 <= n; u += 4) {
        const __m256d sx = span4(q1 + u, span), sxx = span4(q2 + u, span);
        const __m256d sxm = load4(cross + u);
        const __m256d vi =
            _mm256_and_pd(_mm256_sub_pd(_mm256_mul_pd(vp, sxx), _mm256_mul_pd(sx, sx)), magnitude);
        const __m256d d = _mm256_sub_pd(_mm256_mul_pd(vp, sxm), _mm256_mul_pd(sx, vsm));
        const __m256d score =
            _mm256_mul_pd(_mm256_div_pd(_mm256_mul_pd(d, d), _mm256_mul_pd(vvm, vi)), hundred);
        const __m256d kept =
            _mm256_and_pd(_mm256_cmp_pd(vi, zero, _CMP_NEQ_UQ), _mm256_cmp_pd(d, zero, _CMP_GT_OQ));
        _mm256_storeu_pd(out + u, _mm256_and_pd(score, kept));
    }
    scoreLoop(q1 + u, q2 + u, span, cross + u, n - u, pixels, sm, vm, out + u);
}

// rectSum of four windows side by side.
__attribute__((target("avx2"))) inline __m256d rectSum4(const uint32_t* t, std::ptrdiff_t lo,
                                                        std::ptrdiff_t hi, int32_t w) {
    auto at = [t](std::ptrdiff_t o) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + o));
    };
    const __m128i sum =
        _mm_add_epi32(_mm_sub_epi32(_mm_sub_epi32(at(hi + w), at(hi)), at(lo + w)), at(lo));
    return exactDoubles(_mm256_cvtepu32_epi64(sum));
}

// Four windows at a time, each operation the one the plain loop does.
__attribute__((target("avx2"))) void boundsAvx2(const uint32_t* s1, const uint32_t* s2,
                                                std::ptrdiff_t stride, const BandTerms& t, int n,
                                                double* wsum, double* wvar, double* rest,
                                                std::size_t pitch) {
    const std::ptrdiff_t whole = std::ptrdiff_t(t.height) * stride;
    const __m256d pixels = _mm256_set1_pd(t.pixels), zero = _mm256_setzero_pd();
    const __m256d margin = _mm256_set1_pd(1e-12), one = _mm256_set1_pd(1.0);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffll));
    if (n < 4) return boundsDefault(s1, s2, stride, t, n, wsum, wvar, rest, pitch);
    // A last group that would run past the row ends at its last window instead: the windows
    // computed twice get the same values again.
    for (int g = 0; g < n; g += 4) {
        const int u = std::min(g, n - 4);
        const __m256d sx = rectSum4(s1 + u, 0, whole, t.width);
        const __m256d sxx = rectSum4(s2 + u, 0, whole, t.width);
        _mm256_storeu_pd(wsum + u, sx);
        _mm256_storeu_pd(wvar + u, _mm256_and_pd(_mm256_sub_pd(_mm256_mul_pd(pixels, sxx),
                                                               _mm256_mul_pd(sx, sx)),
                                                 magnitude));
        __m256d r = zero;
        _mm256_storeu_pd(rest + std::size_t(t.count) * pitch + std::size_t(u), r);
        for (int j = t.count - 1; j >= 1; --j) {
            const std::ptrdiff_t lo = t.top[std::size_t(j)] * stride;
            const std::ptrdiff_t hi = t.bottom[std::size_t(j)] * stride;
            const __m256d ib = rectSum4(s1 + u, lo, hi, t.width);
            const __m256d ibb = rectSum4(s2 + u, lo, hi, t.width);
            const __m256d inr = _mm256_set1_pd(t.inr[std::size_t(j)]);
            const __m256d varI = _mm256_add_pd(
                _mm256_add_pd(
                    _mm256_max_pd(_mm256_sub_pd(ibb, _mm256_mul_pd(_mm256_mul_pd(ib, ib), inr)),
                                  zero),
                    _mm256_mul_pd(margin, ibb)),
                one);
            const __m256d mean =
                _mm256_mul_pd(_mm256_mul_pd(ib, _mm256_set1_pd(t.mb[std::size_t(j)])), inr);
            const __m256d spread =
                _mm256_sqrt_pd(_mm256_mul_pd(varI, _mm256_set1_pd(t.varM[std::size_t(j)])));
            r = _mm256_add_pd(_mm256_add_pd(r, mean), spread);
            _mm256_storeu_pd(rest + std::size_t(j) * pitch + std::size_t(u), r);
        }
    }
}

// Four windows at a time, each operation the one the plain loop does.
__attribute__((target("avx2"))) void pruneAvx2(const int64_t* partial, const double* rest,
                                               const double* wsum, const double* wvar, int n,
                                               const PruneTerms& t, uint8_t* alive) {
    if (n < 4) return pruneDefault(partial, rest, wsum, wvar, n, t, alive);
    const __m256d pixels = _mm256_set1_pd(t.pixels), sm = _mm256_set1_pd(t.sm);
    const __m256d up = _mm256_set1_pd(1.0 + 1e-9), down = _mm256_set1_pd(1.0 - 1e-9);
    const __m256d margin = _mm256_set1_pd(1e-9), one = _mm256_set1_pd(1.0);
    const __m256d hundred = _mm256_set1_pd(100.0), zero = _mm256_setzero_pd();
    const __m256d bar = _mm256_set1_pd(t.bar), vm = _mm256_set1_pd(t.vm);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffll));
    // A last group that would run past the row ends at its last window instead: giving up
    // is the same when done twice.
    for (int g = 0; g < n; g += 4) {
        const int i = std::min(g, n - 4);
        const __m256d u2 = _mm256_add_pd(
            _mm256_mul_pd(_mm256_add_pd(load4(partial + i), _mm256_loadu_pd(rest + i)), up), one);
        const __m256d sx = _mm256_loadu_pd(wsum + i), vi = _mm256_loadu_pd(wvar + i);
        const __m256d nu2 = _mm256_mul_pd(pixels, u2), sxsm = _mm256_mul_pd(sx, sm);
        const __m256d dub = _mm256_add_pd(
            _mm256_add_pd(
                _mm256_sub_pd(nu2, sxsm),
                _mm256_mul_pd(margin, _mm256_add_pd(nu2, _mm256_and_pd(sxsm, magnitude)))),
            one);
        const __m256d lhs = _mm256_mul_pd(_mm256_mul_pd(dub, dub), hundred);
        const __m256d rhs = _mm256_mul_pd(_mm256_mul_pd(bar, _mm256_mul_pd(vm, vi)), down);
        const __m256d drop = _mm256_or_pd(
            _mm256_or_pd(_mm256_cmp_pd(vi, zero, _CMP_EQ_OQ), _mm256_cmp_pd(dub, zero, _CMP_LE_OQ)),
            _mm256_cmp_pd(lhs, rhs, _CMP_LE_OQ));
        const int bits = _mm256_movemask_pd(drop);
        for (int k = 0; k < 4; ++k)
            if (bits & (1 << k)) alive[i + k] = 0;
    }
}
#endif

} // namespace

void summedRowScalar(const int16_t* p, const uint32_t* up1, const uint32_t* up2, int n,
                     uint32_t* out1, uint32_t* out2) {
    uint32_t a = 0, b = 0;
    out1[0] = 0;
    out2[0] = 0;
    for (int c = 0; c < n; ++c) {
        const uint32_t v = uint32_t(p[c]);
        a += v;
        b += v * v;
        out1[c + 1] = up1[c + 1] + a;
        out2[c + 1] = up2[c + 1] + b;
    }
}

#if QXM_IMLIB_X86

namespace {

// Inclusive prefix sums of eight 32-bit lanes.
__attribute__((target("avx2"))) inline __m256i prefix8(__m256i x) {
    x = _mm256_add_epi32(x, _mm256_slli_si256(x, 4));
    x = _mm256_add_epi32(x, _mm256_slli_si256(x, 8));
    // The low half's total into every lane of the high half.
    const __m256i low = _mm256_shuffle_epi32(x, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm256_add_epi32(x, _mm256_permute2x128_si256(low, low, 0x08));
}

__attribute__((target("avx2"))) inline __m256i lastLane(__m256i x) {
    return _mm256_permutevar8x32_epi32(x, _mm256_set1_epi32(7));
}

// Rows summed in 32-bit lanes before the lanes are folded (in 32 bits) and added in 64 bits:
// a chunk's rows * taps products of at most 255 * 255 stay below 2^31 together.
inline int rowChunk(int taps) {
    const int64_t perRow = int64_t(taps) * 255 * 255;
    const int64_t rows = perRow > 0 ? int64_t(0x7FFFFFFF) / perRow : 1;
    return rows < 1 ? 1 : rows > (1 << 20) ? (1 << 20) : int(rows);
}

inline int32_t fold128(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

__attribute__((target("avx2"))) inline int32_t fold256(__m256i v) {
    return fold128(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

// P consecutive positions at once: each model chunk is loaded once for all of them.
template <int P>
inline void sse2Block(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                      int taps, int chunk, int64_t* out) {
    int64_t t[P] = {};
    for (int r0 = 0; r0 < rows; r0 += chunk) {
        const int r1 = r0 + chunk < rows ? r0 + chunk : rows;
        __m128i a[P];
#pragma GCC unroll 8
        for (int j = 0; j < P; ++j)
            a[j] = _mm_setzero_si128();
        for (int r = r0; r < r1; ++r) {
            const int16_t* p = img + r * stride;
            const int16_t* c = coef + std::ptrdiff_t(r) * taps;
            for (int k = 0; k < taps; k += 8) {
                const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + k));
#pragma GCC unroll 8
                for (int j = 0; j < P; ++j)
                    a[j] = _mm_add_epi32(
                        a[j], _mm_madd_epi16(
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + j)), m));
            }
        }
#pragma GCC unroll 8
        for (int j = 0; j < P; ++j)
            t[j] += fold128(a[j]);
    }
    for (int j = 0; j < P; ++j)
        out[j] = t[j];
}

template <int P>
__attribute__((target("avx2"))) inline void avx2Block(const int16_t* img, std::ptrdiff_t stride,
                                                      const int16_t* coef, int rows, int taps,
                                                      int chunk, int64_t* out) {
    int64_t t[P] = {};
    for (int r0 = 0; r0 < rows; r0 += chunk) {
        const int r1 = r0 + chunk < rows ? r0 + chunk : rows;
        __m256i a[P];
#pragma GCC unroll 8
        for (int j = 0; j < P; ++j)
            a[j] = _mm256_setzero_si256();
        for (int r = r0; r < r1; ++r) {
            const int16_t* p = img + r * stride;
            const int16_t* c = coef + std::ptrdiff_t(r) * taps;
            for (int k = 0; k < taps; k += 16) {
                const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + k));
#pragma GCC unroll 8
                for (int j = 0; j < P; ++j)
                    a[j] = _mm256_add_epi32(
                        a[j],
                        _mm256_madd_epi16(
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + j)), m));
            }
        }
#pragma GCC unroll 8
        for (int j = 0; j < P; ++j)
            t[j] += fold256(a[j]);
    }
    for (int j = 0; j < P; ++j)
        out[j] = t[j];
}

// Two rows of windows, P consecutive positions in each: every model chunk is loaded once for
// all 2 * P windows.
template <int P>
__attribute__((target("avx2"))) inline void avx2Block2(const int16_t* img, std::ptrdiff_t stride,
                                                       const int16_t* coef, int rows, int taps,
                                                       int chunk, int64_t* out0, int64_t* out1) {
    int64_t t0[P] = {}, t1[P] = {};
    for (int r0 = 0; r0 < rows; r0 += chunk) {
        const int r1 = r0 + chunk < rows ? r0 + chunk : rows;
        __m256i a[P], b[P];
#pragma GCC unroll 8
        for (int j = 0; j < P; ++j)
            a[j] = b[j] = _mm256_setzero_si256();
        for (int r = r0; r < r1; ++r) {
            const int16_t* p = img + r * stride;
            const int16_t* q = p + stride;
            const int16_t* c = coef + std::ptrdiff_t(r) * taps;
            for (int k = 0; k < taps; k += 16) {
                const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + k));
#pragma GCC unroll 8
                for (int j = 0; j < P; ++j) {
                    a[j] = _mm256_add_epi32(
                        a[j],
                        _mm256_madd_epi16(
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + j)), m));
                    b[j] = _mm256_add_epi32(
                        b[j],
                        _mm256_madd_epi16(
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k + j)), m));
                }
            }
        }
#pragma GCC unroll 8
        for (int j = 0; j < P; ++j) {
            t0[j] += fold256(a[j]);
            t1[j] += fold256(b[j]);
        }
    }
    for (int j = 0; j < P; ++j) {
        out0[j] = t0[j];
        out1[j] = t1[j];
    }
}

template <int P> struct Avx2Block2 {
    __attribute__((target("avx2"))) static void run(const int16_t* img, std::ptrdiff_t stride,
                                                    const int16_t* coef, int rows, int taps,
                                                    int chunk, int64_t* out0, int64_t* out1) {
        avx2Block2<P>(img, stride, coef, rows, taps, chunk, out0, out1);
    }
};

// The block of exactly the n < P + 1 positions left after the runs.
template <template <int> class Block, int P, class... Out>
inline void lastBlock(int n, const int16_t* img, std::ptrdiff_t stride, const int16_t* coef,
                      int rows, int taps, int chunk, Out*... out) {
    if constexpr (P > 0) {
        if (n == P)
            Block<P>::run(img, stride, coef, rows, taps, chunk, out...);
        else
            lastBlock<Block, P - 1>(n, img, stride, coef, rows, taps, chunk, out...);
    }
}

// Runs of `Run` positions, then one block of exactly the positions left; `out` are the
// outputs of the block (one per row of windows).
template <template <int> class Block, int Run, class... Out>
inline void blocks(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                   int taps, int n, int chunk, Out*... out) {
    int i = 0;
    for (; i + Run <= n; i += Run)
        Block<Run>::run(img + i, stride, coef, rows, taps, chunk, (out + i)...);
    lastBlock<Block, Run - 1>(n - i, img + i, stride, coef, rows, taps, chunk, (out + i)...);
}

template <int P> struct Sse2Block {
    static void run(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                    int taps, int chunk, int64_t* out) {
        sse2Block<P>(img, stride, coef, rows, taps, chunk, out);
    }
};

template <int P> struct Avx2Block {
    __attribute__((target("avx2"))) static void run(const int16_t* img, std::ptrdiff_t stride,
                                                    const int16_t* coef, int rows, int taps,
                                                    int chunk, int64_t* out) {
        avx2Block<P>(img, stride, coef, rows, taps, chunk, out);
    }
};

} // namespace

void crossRowSse2(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                  int taps, int n, int64_t* out) {
    blocks<Sse2Block, 8>(img, stride, coef, rows, taps, n, rowChunk(taps), out);
}

// Six positions in two rows keep twelve accumulators, the model chunk and a product in the
// sixteen vector registers.
__attribute__((target("avx2"))) void crossRow2Avx2(const int16_t* img, std::ptrdiff_t stride,
                                                   const int16_t* coef, int rows, int taps, int n,
                                                   int64_t* out0, int64_t* out1) {
    blocks<Avx2Block2, 6>(img, stride, coef, rows, taps, n, rowChunk(taps), out0, out1);
}

__attribute__((target("avx2"))) void crossRowAvx2(const int16_t* img, std::ptrdiff_t stride,
                                                  const int16_t* coef, int rows, int taps, int n,
                                                  int64_t* out) {
    blocks<Avx2Block, 8>(img, stride, coef, rows, taps, n, rowChunk(taps), out);
}

__attribute__((target("avx2"))) void summedRowAvx2(const int16_t* p, const uint32_t* up1,
                                                   const uint32_t* up2, int n, uint32_t* out1,
                                                   uint32_t* out2) {
    out1[0] = 0;
    out2[0] = 0;
    __m256i c1 = _mm256_setzero_si256(), c2 = _mm256_setzero_si256();
    int c = 0;
    for (; c + 8 <= n; c += 8) {
        const __m256i v =
            _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + c)));
        // The running totals c1, c2 wait for one addition per eight columns; the prefix sums
        // and their totals are worked out beside them.
        const __m256i p1 = prefix8(v), p2 = prefix8(_mm256_madd_epi16(v, v));
        const __m256i s1 = _mm256_add_epi32(p1, c1), s2 = _mm256_add_epi32(p2, c2);
        c1 = _mm256_add_epi32(c1, lastLane(p1));
        c2 = _mm256_add_epi32(c2, lastLane(p2));
        const __m256i u1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up1 + c + 1));
        const __m256i u2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(up2 + c + 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out1 + c + 1), _mm256_add_epi32(u1, s1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out2 + c + 1), _mm256_add_epi32(u2, s2));
    }
    uint32_t a = uint32_t(_mm256_cvtsi256_si32(c1)), b = uint32_t(_mm256_cvtsi256_si32(c2));
    for (; c < n; ++c) {
        const uint32_t v = uint32_t(p[c]);
        a += v;
        b += v * v;
        out1[c + 1] = up1[c + 1] + a;
        out2[c + 1] = up2[c + 1] + b;
    }
}

bool cpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif

CrossRowFn chooseCrossRow(const char* named, bool hasAvx2, std::string& why) {
    why.clear();
#if QXM_IMLIB_X86
    const CrossRowFn fastest = hasAvx2 ? crossRowAvx2 : crossRowSse2;
#else
    const CrossRowFn fastest = crossRowScalar;
    (void)hasAvx2;
#endif
    if (named == nullptr || *named == '\0') return fastest;
    const std::string name = named;
    if (strcasecmp(named, "scalar") == 0) return crossRowScalar;
#if QXM_IMLIB_X86
    if (strcasecmp(named, "sse2") == 0) return crossRowSse2;
    if (strcasecmp(named, "avx2") == 0) {
        if (hasAvx2) return crossRowAvx2;
        why = "QXM_IMLIB_KERNEL=" + name + ": this processor has no AVX2";
        return fastest;
    }
#else
    if (strcasecmp(named, "sse2") == 0 || strcasecmp(named, "avx2") == 0) {
        why = "QXM_IMLIB_KERNEL=" + name + ": not an x86 processor";
        return fastest;
    }
#endif
    why = "QXM_IMLIB_KERNEL=" + name + " is none of scalar, sse2, avx2";
    return fastest;
}

namespace {

template <CrossRowFn F>
void twice(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows, int taps,
           int n, int64_t* out0, int64_t* out1) {
    F(img, stride, coef, rows, taps, n, out0);
    F(img + stride, stride, coef, rows, taps, n, out1);
}

} // namespace

Routines routinesFor(CrossRowFn kernel) {
#if QXM_IMLIB_X86
    if (kernel == crossRowAvx2)
        return Routines{crossRow2Avx2, summedRowAvx2, columnsAvx2, runningColumnsAvx2,
                        scoresAvx2,    boundsAvx2,    pruneAvx2};
    if (kernel == crossRowSse2)
        return Routines{twice<crossRowSse2>, summedRowScalar, columnsDefault, runningColumnsDefault,
                        scoresDefault,       boundsDefault,   pruneDefault};
#endif
    // Any other kernel is run one row of windows at a time.
    const CrossRow2Fn two = kernel == crossRowScalar ? twice<crossRowScalar> : nullptr;
    return Routines{two,           summedRowScalar, columnsDefault, runningColumnsDefault,
                    scoresDefault, boundsDefault,   pruneDefault};
}

CrossRowFn crossRow() {
    static const CrossRowFn chosen = [] {
#if QXM_IMLIB_X86
        const bool avx2 = cpuHasAvx2();
#else
        const bool avx2 = false;
#endif
        std::string why;
        const CrossRowFn f = chooseCrossRow(std::getenv("QXM_IMLIB_KERNEL"), avx2, why);
        if (!why.empty())
            std::fprintf(stderr, "qxmimlib: %s; the kernel is chosen automatically\n", why.c_str());
        return f;
    }();
    return chosen;
}

} // namespace qxm::imlib

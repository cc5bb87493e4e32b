#include "Kernels.h"

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
            int32_t sum = 0; // one row: at most 1024 * 255 * 255
            for (int k = 0; k < taps; ++k)
                sum += int32_t(p[k]) * c[k];
            total += sum;
        }
        out[i] = total;
    }
}

#if QXM_IMLIB_X86

namespace {

// Rows summed in 32-bit lanes before the lanes are folded into 64 bits: 16 rows of at most
// 1024 products of 255 * 255 stay below 2^31.
constexpr int kRowChunk = 16;

inline int32_t fold128(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

__attribute__((target("avx2"))) inline int32_t fold256(__m256i v) {
    return fold128(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

} // namespace

void crossRowSse2(const int16_t* img, std::ptrdiff_t stride, const int16_t* coef, int rows,
                  int taps, int n, int64_t* out) {
    for (int i = 0; i < n; i += kPositionBlock) {
        int64_t t0 = 0, t1 = 0, t2 = 0, t3 = 0;
        for (int r0 = 0; r0 < rows; r0 += kRowChunk) {
            const int r1 = r0 + kRowChunk < rows ? r0 + kRowChunk : rows;
            __m128i a0 = _mm_setzero_si128(), a1 = a0, a2 = a0, a3 = a0;
            for (int r = r0; r < r1; ++r) {
                const int16_t* p = img + r * stride + i;
                const int16_t* c = coef + std::ptrdiff_t(r) * taps;
                for (int k = 0; k < taps; k += 8) {
                    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + k));
                    const auto* q = p + k;
                    a0 = _mm_add_epi32(a0,
                                       _mm_madd_epi16(_mm_loadu_si128((const __m128i*)(q + 0)), m));
                    a1 = _mm_add_epi32(a1,
                                       _mm_madd_epi16(_mm_loadu_si128((const __m128i*)(q + 1)), m));
                    a2 = _mm_add_epi32(a2,
                                       _mm_madd_epi16(_mm_loadu_si128((const __m128i*)(q + 2)), m));
                    a3 = _mm_add_epi32(a3,
                                       _mm_madd_epi16(_mm_loadu_si128((const __m128i*)(q + 3)), m));
                }
            }
            t0 += fold128(a0);
            t1 += fold128(a1);
            t2 += fold128(a2);
            t3 += fold128(a3);
        }
        const int64_t t[kPositionBlock] = {t0, t1, t2, t3};
        for (int j = 0; j < kPositionBlock && i + j < n; ++j)
            out[i + j] = t[j];
    }
}

__attribute__((target("avx2"))) void crossRowAvx2(const int16_t* img, std::ptrdiff_t stride,
                                                  const int16_t* coef, int rows, int taps, int n,
                                                  int64_t* out) {
    for (int i = 0; i < n; i += kPositionBlock) {
        int64_t t0 = 0, t1 = 0, t2 = 0, t3 = 0;
        for (int r0 = 0; r0 < rows; r0 += kRowChunk) {
            const int r1 = r0 + kRowChunk < rows ? r0 + kRowChunk : rows;
            __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0;
            for (int r = r0; r < r1; ++r) {
                const int16_t* p = img + r * stride + i;
                const int16_t* c = coef + std::ptrdiff_t(r) * taps;
                for (int k = 0; k < taps; k += 16) {
                    const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + k));
                    const auto* q = p + k;
                    a0 = _mm256_add_epi32(
                        a0, _mm256_madd_epi16(_mm256_loadu_si256((const __m256i*)(q + 0)), m));
                    a1 = _mm256_add_epi32(
                        a1, _mm256_madd_epi16(_mm256_loadu_si256((const __m256i*)(q + 1)), m));
                    a2 = _mm256_add_epi32(
                        a2, _mm256_madd_epi16(_mm256_loadu_si256((const __m256i*)(q + 2)), m));
                    a3 = _mm256_add_epi32(
                        a3, _mm256_madd_epi16(_mm256_loadu_si256((const __m256i*)(q + 3)), m));
                }
            }
            t0 += fold256(a0);
            t1 += fold256(a1);
            t2 += fold256(a2);
            t3 += fold256(a3);
        }
        const int64_t t[kPositionBlock] = {t0, t1, t2, t3};
        for (int j = 0; j < kPositionBlock && i + j < n; ++j)
            out[i + j] = t[j];
    }
}

bool cpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

CrossRowFn crossRow() {
    static const CrossRowFn chosen = cpuHasAvx2() ? crossRowAvx2 : crossRowSse2;
    return chosen;
}

#else

CrossRowFn crossRow() {
    return crossRowScalar;
}

#endif

} // namespace qxm::imlib

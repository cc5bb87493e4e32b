// Cross-sum kernels of the level search: integer dot products of model rows with image rows
// for a run of consecutive window positions.
#pragma once

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

// The kernel of every search, chosen once: the one named by the environment variable
// QXM_IMLIB_KERNEL ("scalar", "sse2" or "avx2", in any case) if this processor runs it, else
// the fastest it runs. A name that is not taken is reported on stderr.
CrossRowFn crossRow();

// The choice itself: `named` is the variable's value (null or empty: none); `why` is left
// empty when the named kernel was taken or none was named, else it says why not.
CrossRowFn chooseCrossRow(const char* named, bool hasAvx2, std::string& why);

} // namespace qxm::imlib

/* qxmimlib: 8-bit gray image buffers and pyramid pattern matching.
 *
 * Buffers live inside the library and are known to callers only by their handle.
 * Every function returns IM_OK (or a count) on success and a negative IM_ERR_* code on
 * failure, except ImBufFree and ImPatFreeModel (1 freed, 0 unknown), ImPatUseSecondPixel
 * (returns its argument) and ImPatFreeResult (no result). The library is single-threaded.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Limits. */
enum {
    IM_SIZE_MAX = 1024, /* widest and highest buffer */
    IM_MODEL_MIN = 24,  /* narrowest and lowest model */
    IM_RESULT_MAX = 50, /* most records of a result array */
    IM_LEVEL_MAX = 7    /* deepest pyramid level searched */
};

/* Result codes. */
enum {
    IM_OK = 0,
    IM_ERR_NOMEM = -1,       /* no storage; also a result array the library did not hand out */
    IM_ERR_NOBUF = -2,       /* handle not registered */
    IM_ERR_SIZE = -3,        /* width or height outside 1..IM_SIZE_MAX */
    IM_ERR_DEPTH = -4,       /* depth other than 8 */
    IM_ERR_RECT = -5,        /* rectangle not inside the buffer */
    IM_ERR_MODELSIZE = -6,   /* model narrower or lower than IM_MODEL_MIN */
    IM_ERR_RESULTCOUNT = -7, /* result count outside 1..IM_RESULT_MAX */
    IM_ERR_PARAM = -8        /* threshold or level outside its range */
};

/* Historical ordinal numbers of the exports. ELF binds by name; these are for reference. */
enum {
    IM_ORD_ImBufAlloc = 1,
    IM_ORD_ImBufFree = 2,
    IM_ORD_ImBufCopy = 3,
    IM_ORD_ImBufPut = 4,
    IM_ORD_ImPatAllocModel = 51,
    IM_ORD_ImPatFreeModel = 52,
    IM_ORD_ImPatAllocResult = 53,
    IM_ORD_ImPatFreeResult = 54,
    IM_ORD_ImPatSetAccept = 55,
    IM_ORD_ImPatSetSearchArea = 56,
    IM_ORD_ImPatUseSecondPixel = 57,
    IM_ORD_ImPatSetSearchLevel = 58,
    IM_ORD_ImPatExecute = 59
};

typedef int32_t ImBufHandle; /* never 0, never -1 */

/* One hit: score 0..100 and the centre of the matched window in level-0 image pixels. */
typedef struct ImPatResult {
    double score, x, y;
} ImPatResult; /* 24 bytes */

/* Buffers. A rectangle argument of -1 selects the default (0, 0, full width, full height). */
int32_t ImBufAlloc(int32_t width, int32_t height, int32_t depth, ImBufHandle* out);
int32_t ImBufFree(ImBufHandle h);
/* src == -1 clears dst; otherwise copies (x, y, w, h) of src to dst's top-left corner. */
int32_t ImBufCopy(ImBufHandle src, ImBufHandle dst, int32_t x, int32_t y, int32_t w, int32_t h);
/* data: hgt rows of exactly w bytes, packed top to bottom. */
int32_t ImBufPut(ImBufHandle h, int32_t x, int32_t y, int32_t w, int32_t hgt, const uint8_t* data);

/* Pattern matching. */
int32_t ImPatAllocModel(ImBufHandle src, ImBufHandle* model, int32_t x, int32_t y, int32_t w,
                        int32_t h);
int32_t ImPatFreeModel(ImBufHandle model);
int32_t ImPatAllocResult(ImPatResult** out, int32_t count);
void ImPatFreeResult(ImPatResult* results);
int32_t ImPatSetAccept(double threshold);
int32_t ImPatSetSearchArea(ImBufHandle image, int32_t x, int32_t y, int32_t w, int32_t h);
int32_t ImPatUseSecondPixel(int32_t flag);
int32_t ImPatSetSearchLevel(int32_t first, int32_t last);
/* Returns the number of hits stored in results (>= 0) or a negative code. */
int32_t ImPatExecute(ImBufHandle model, ImBufHandle image, ImPatResult* results);

#ifdef __cplusplus
}
#endif

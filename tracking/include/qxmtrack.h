/* qxmtrack: automatic tracking of an anchor rectangle through a movie.
 *
 * Calling order: InitSetAuto once per movie, then any number of ExecSetAuto (each result array
 * handed back to FreeSetAutoAnchorData), then ExitSetAuto. Result codes: 0, 1 or 2 for success
 * (ExecSetAuto's rating), negative codes in bands that GetSetAutoErrorString turns into text.
 * One tracking context per process; not thread-safe.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One settled frame: movie frame number and rectangle in movie pixels, rows from the top. */
typedef struct SetAutoAnchorRecord {
    int32_t frame, left, top, right, bottom;
} SetAutoAnchorRecord; /* 20 bytes */

/* Opens moviePath and reads the parameters; iniPath null or empty means "qxmtrack.ini" in the
 * per-user configuration folder. 0 or a negative code; on failure nothing stays open. */
int32_t InitSetAuto(const char* moviePath, const char* iniPath);

/* Releases everything InitSetAuto opened; may be called any number of times. Returns 0. */
int32_t ExitSetAuto(void);

/* Follows the start rectangle from startFrame to endFrame. On success returns 0, 1 or 2 (how
 * well the track met the end rectangle) with *records (owned by the caller until it is given to
 * FreeSetAutoAnchorData) and *count set; on failure a negative code, *count 0 and *records
 * null. */
int32_t ExecSetAuto(int32_t startFrame, int32_t endFrame, int32_t sLeft, int32_t sTop,
                    int32_t sRight, int32_t sBottom, int32_t eLeft, int32_t eTop, int32_t eRight,
                    int32_t eBottom, int32_t* count, SetAutoAnchorRecord** records);

/* Releases an array returned by ExecSetAuto; null is accepted. Returns 0. */
int32_t FreeSetAutoAnchorData(SetAutoAnchorRecord* records);

/* Writes the message of code into buffer (100 bytes are always enough). Returns 1 for a code
 * of a known group, 0 otherwise. */
int32_t GetSetAutoErrorString(int32_t code, char* buffer);

#ifdef __cplusplus
}
#endif

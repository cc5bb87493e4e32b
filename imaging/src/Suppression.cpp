// Non-maximum suppression of a level's score table.
#include "Search.h"

#include <algorithm>
#include <cstring>

namespace qxm::imlib {

namespace {

// The suppression compares the cells' bit patterns as integers: the cells hold +0 or positive
// scores, whose patterns are ordered as their values, and integer selections compile to
// conditional moves where the double comparisons became branches on unpredictable data.
inline int64_t bitsOf(const double* cell) {
    int64_t b;
    std::memcpy(&b, cell, sizeof b);
    return b;
}

inline void setBits(double* cell, int64_t b) {
    std::memcpy(cell, &b, sizeof b);
}

// Keeps the first largest of the kw x kh cells from `corner` in row order and zeroes the
// others; returns the kept cell's bits, row and column in the block.
inline int64_t keepFirstMaximum(double* corner, int stride, int kw, int kh, int& row, int& col) {
    int64_t best = bitsOf(corner);
    row = col = 0;
    for (int dy = 0; dy < kh; ++dy)
        for (int dx = dy == 0 ? 1 : 0; dx < kw; ++dx) {
            const int64_t v = bitsOf(corner + std::ptrdiff_t(dy) * stride + dx);
            const bool larger = v > best;
            best = larger ? v : best;
            row = larger ? dy : row;
            col = larger ? dx : col;
        }
    for (int dy = 0; dy < kh; ++dy)
        for (int dx = 0; dx < kw; ++dx) {
            double* cell = corner + std::ptrdiff_t(dy) * stride + dx;
            setBits(cell, dy == row && dx == col ? bitsOf(cell) : 0);
        }
    return best;
}

} // namespace

// Each block in turn keeps only its first largest cell (in row order): visiting the cells in
// row order, a cell not above the largest so far is zeroed, a larger one zeroes that. Along a
// row of blocks, the cells a block shares with the one before are all zero but that block's
// kept cell, so only that cell and the three of the new column need to be compared.
void suppressNonMaxima(double* table, int stride, int w, int h, int nx, int ny) {
    const int kw = std::min(w, 3), kh = std::min(h, 3);
    const int axEnd = std::min(w - kw, nx - 1), ayEnd = std::min(h - kh, ny - 1);
    for (int ay = 0; ay <= ayEnd; ++ay) {
        double* const rows = table + std::ptrdiff_t(ay) * stride;
        int keptRow = 0, keptCol = 0;
        // The kept cell's value is carried along rather than read back: the loop's only
        // chain from one block to the next is then a few comparisons.
        int64_t vk = keepFirstMaximum(rows, stride, kw, kh, keptRow, keptCol);
        if (kw < 3 || kh < 3) {
            for (int ax = 1; ax <= axEnd; ++ax)
                keepFirstMaximum(rows + ax, stride, kw, kh, keptRow, keptCol);
            continue;
        }
        double* const r0 = rows;
        double* const r1 = rows + stride;
        double* const r2 = r1 + stride;
        for (int ax = 1; ax <= axEnd; ++ax) {
            const int c = ax + 2;
            const int64_t v0 = bitsOf(r0 + c), v1 = bitsOf(r1 + c), v2 = bitsOf(r2 + c);
            // The first largest of the new column.
            int nb = v1 > v0 ? 1 : 0;
            int64_t vn = v1 > v0 ? v1 : v0;
            nb = v2 > vn ? 2 : nb;
            vn = v2 > vn ? v2 : vn;
            // The kept cell of the block before, unless it lay in the column left behind
            // (keptCol is relative to ax - 1); it comes first in row order when its row is
            // not below the new cell's.
            double* const kept = rows + std::ptrdiff_t(keptRow) * stride + (ax - 1 + keptCol);
            const int64_t inside = keptCol > 0;
            const int64_t keptWins = inside & int64_t(vk + (keptRow <= nb) > vn);
            // Masks rather than selections, which the compiler would turn into branches.
            const int64_t lost = keptWins ^ 1;
            setBits(kept, vk & -(keptWins | (inside ^ 1)));
            setBits(r0 + c, v0 & -(lost & int64_t(nb == 0)));
            setBits(r1 + c, v1 & -(lost & int64_t(nb == 1)));
            setBits(r2 + c, v2 & -(lost & int64_t(nb == 2)));
            vk = keptWins ? vk : vn;
            keptRow = keptWins ? keptRow : nb;
            keptCol = keptWins ? keptCol - 1 : 2;
        }
    }
}

} // namespace qxm::imlib

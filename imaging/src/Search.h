// Coarse-to-fine search of a model over an image pyramid by squared normalised correlation.
#pragma once

#include "HelperThread.h"
#include "ImBuf.h"
#include "Kernels.h"
#include "Pyramid.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace qxm::imlib {

// A level of at least this many windows, searched whole, is scored in two halves of rows.
inline constexpr int64_t kSplitWindows = 8192;

// The best hits of one search, highest score first; equal scores keep the order in which
// they were found. Only the first `capacity` records can ever be copied out, so no more are
// kept.
class HitList {
public:
    explicit HitList(int capacity) : capacity_(capacity) {}
    void add(double score, double x, double y);
    // Whether a hit of this score could still be among the kept ones if later hits of equal
    // score came before it.
    bool mayKeep(double score) const { return !full() || score >= lowest(); }
    int size() const { return count_; }
    int capacity() const { return capacity_; }
    bool full() const { return count_ >= capacity_; }
    // The lowest score kept (with a full list, a hit of this score or lower is not kept).
    double lowest() const { return records_[std::size_t(count_ - 1)].score; }
    const ImPatResult& operator[](int i) const { return records_[std::size_t(i)]; }

private:
    int capacity_;
    int count_ = 0;
    std::array<ImPatResult, IM_RESULT_MAX> records_{};
};

// Refinement area at level L - 1 for a centre of level L, clipped to `clip` (the search area
// of the level L - 1 image).
struct Rect {
    int32_t x, y, w, h;
};
Rect refinementArea(double cx, double cy, const Area& clip);

// In place non-maximum suppression of a table of width w and height h (row stride `stride`)
// whose non-zero cells all lie in the top-left nx x ny corner; only the 3 x 3 blocks that
// reach that corner are visited, the others cannot change anything.
void suppressNonMaxima(double* table, int stride, int w, int h, int nx, int ny);

// An array that keeps its memory for the next use that fits; its elements are not
// initialised.
template <class T> class Reusable {
public:
    T* get(std::size_t n) {
        if (n > capacity_) {
            data_ = std::make_unique_for_overwrite<T[]>(n);
            capacity_ = n;
        }
        return data_.get();
    }

private:
    std::unique_ptr<T[]> data_;
    std::size_t capacity_ = 0;
};

// The working memory of searches, kept from one search to the next (one per thread): the
// large arrays would otherwise be mapped afresh by the allocator for every search, at a page
// fault every 4 KB.
struct Workspace {
    // The calling thread's.
    static Workspace& local();

    struct Scratch {
        std::vector<int16_t> even, odd;
        std::vector<int32_t> s1, s2;
        std::vector<int64_t> q1, q2, cross, crossOdd, merged;
        std::vector<double> table, scores;
        std::vector<int64_t> partial;
        std::vector<double> wsum, wvar, rest;
        std::vector<uint8_t> alive;
    };
    std::array<Scratch, 8> scratch;
    std::array<Reusable<int16_t>, 8> pixels;
    std::array<Reusable<uint32_t>, 8> sums1, sums2, down1, down2;
};

class Matcher {
public:
    Matcher(const Pyramid& model, const Pyramid& image, const Params& params, HitList& hits,
            Workspace& work, CrossRowFn kernel = crossRow());
    // Searches from level `top` down to `bottom` over the centre positions (x, y, w, h) of
    // the top level, sharing the work with `helper` unless that is null (the results are the
    // same either way); 0 or a negative code.
    int32_t search(int top, int bottom, Rect area, HelperThread* helper);
    // Searches level L over the centre positions (x, y, w, h), a large level in two halves
    // when `helper` is given and free; 0 or a negative code.
    int32_t searchLevel(int L, int bottom, Rect area, HelperThread* helper = nullptr);

private:
    // A hit that one share of the refinements may keep: the refined area it came from and
    // the bottom-level search within that area (in the order of searching depth first).
    struct Found {
        double score, x, y;
        std::size_t area, part;
    };
    // Bottom-level searches put off until the summed-area tables are ready, which either
    // share then takes.
    struct Deferred {
        Rect rect;
        std::size_t area, part;
    };
    class Pool {
    public:
        void put(const Deferred& d) {
            std::lock_guard<std::mutex> lock(mutex_);
            items_.push_back(d);
        }
        bool take(Deferred& d) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (items_.empty()) return false;
            d = items_.back();
            items_.pop_back();
            return true;
        }
        bool empty() {
            std::lock_guard<std::mutex> lock(mutex_);
            return items_.empty();
        }

    private:
        std::mutex mutex_;
        std::vector<Deferred> items_;
    };
    // An area to refine, with the score of the window it refines.
    struct Pending {
        Rect area;
        double score;
    };
    struct ModelLevel {
        bool ready = false;
        int32_t mw = 0, mh = 0, taps = 0, lastTap = 0;
        double n = 0, sm = 0, vm = 0;
        std::vector<int16_t> coef;
        // Sums of the model's pixels and squares from row r to the last row (index r).
        std::vector<double> rest1, rest2;
    };
    // The level's pixels as int16 over every place a window of the search can cover, with
    // zeros outside the image (what clipping the windows amounts to) and a right margin for
    // the kernels' reads past a window; built once per level and search.
    struct LevelPixels {
        bool ready = false;
        int32_t x0 = 0, y0 = 0, stride = 0, cols = 0, rows = 0;
        int16_t* pixels = nullptr; // in the workspace
    };
    // Summed-area tables of the level copy's first `cols` columns: entry (t, c) holds the sum
    // of the pixels (and of their squares) in rows < t and columns < c, modulo 2^32. A
    // rectangle's sums are four entries apart, exact as long as the true sum is below 2^32.
    struct LevelSums {
        bool ready = false;
        int32_t stride = 0;
        uint32_t *s1 = nullptr, *s2 = nullptr; // in the workspace
    };
    // Column sums running down a level copy: entry (t, c) holds the sum of the pixels (and of
    // their squares) of column c in rows < t, modulo 2^32, so that the column sums of a row
    // of windows are one subtraction each rather than a pass over all their rows. Built on
    // first use for the upper levels of tall models.
    struct LevelColumns {
        bool ready = false;
        int32_t stride = 0;
        uint32_t *c1 = nullptr, *c2 = nullptr; // in the workspace
    };
    const ModelLevel& modelLevel(int L);
    // Non-maximum suppression of the level's table and the refinement or hits of its peaks.
    int32_t finishLevel(int L, int bottom, int32_t xs, int32_t ys, int32_t nx, int32_t ny,
                        int32_t cw, int32_t tw, int32_t th, double hwd, double hhd);
    // Scores of the nx x ny windows from top-left corner (xs, ys) of level L, the bottom level,
    // with its summed-area tables `sums`, when the hit list is full: a window whose score is
    // provably below `bar` gets 0 instead of its score. With `bar` at most the larger of the lowest
    // kept hit and the acceptance, and at most the certainty, such a window could neither enter the
    // list nor the table, nor keep a better neighbour out, nor end the level.
    void boundedScores(int L, const ModelLevel& m, const LevelSums& sums, int32_t xs, int32_t ys,
                       int32_t nx, int32_t ny, double bar, double* scores);
    // A level's copy, running column sums and summed-area tables, built once for both shares
    // of a search: the bottom level's copy and tables by the helper as it gets its share ready
    // (the tables claimed before it starts), the rest by the first share that needs them.
    // Meanwhile the other share builds a copy or column sums of its own if it needs them, and
    // puts its bottom-level searches off (scores them without bounds when it is alone).
    struct SharedLevel {
        int level = -1;
        // 0: not built, 1: being built, 2: ready in `pixels` (`sums`, `columns`)
        std::atomic<int> pixelsState{0}, sumsState{0}, columnsState{0};
        LevelPixels pixels;
        LevelSums sums;
        LevelColumns columns;
    };
    // A claim of a shared level's summed-area tables, given up when it ends without them
    // built (so that, should building fail, the other share builds them rather than wait).
    class SumsClaim {
    public:
        explicit SumsClaim(SharedLevel* level) : level_(level) {}
        SumsClaim(const SumsClaim&) = delete;
        SumsClaim& operator=(const SumsClaim&) = delete;
        ~SumsClaim() {
            if (level_ != nullptr && level_->sumsState.load(std::memory_order_acquire) != 2)
                level_->sumsState.store(0, std::memory_order_release);
        }

    private:
        SharedLevel* level_;
    };
    // Level L's shared level while a share runs.
    SharedLevel* sharedLevel(int L) const { return shared_ != nullptr ? shared_ + L : nullptr; }
    // Claims the building of the shared level's summed-area tables if its scores are
    // bounded: the other share then puts its bottom-level searches off until they are ready
    // rather than building them as well.
    bool claimSums(SharedLevel& shared);
    // Gets ready for a share of the refinements below level `top`: the model's levels, the
    // bottom level's copy, and its summed-area tables if `sums` (claimed).
    void prepareShare(int top, int bottom, bool sums);
    // Whether level L's scores are bounded once the hit list is full.
    bool boundable(int L, int bottom, const ModelLevel& m) const;
    // Level L's summed-area tables, built on first use; null while the other share builds
    // them.
    const LevelSums* levelSums(int L, const ModelLevel& m);
    // Builds a pair of level L's tables of (copy rows + 1) x stride entries in `memory1` and
    // `memory2`: the first rows zero, each next one from the one above and a row of the copy
    // by `row`.
    void buildTables(int L, const ModelLevel& m, int32_t stride, SummedRowFn row,
                     std::array<Reusable<uint32_t>, 8>& memory1,
                     std::array<Reusable<uint32_t>, 8>& memory2, uint32_t*& t1, uint32_t*& t2);
    // Builds them, for the other share too if it is shared (and claimed).
    void buildSums(int L, const ModelLevel& m, SharedLevel* shared);
    void splitColumns(int L, const int16_t* patch, int32_t stride, int32_t tw, int32_t th);
    // The windows of one level search: their pixels from `patch`, tw x th of them read, nx
    // positions a row; the table rows are cw cells apart.
    struct Rows {
        const int16_t* patch;
        int32_t stride, tw, th, nx, cw;
        // The column sums running down from the patch's corner, or null.
        const uint32_t *down1, *down2;
        int32_t downStride;
    };
    // Scores window rows v0 to v1 - 1 into the table of `planes` (the scratch that also
    // holds the column planes of second-pixel sampling), using `s` for the rest: a window
    // below the acceptance gets 0. Stops at the first window reaching the certainty and
    // returns its index v * nx + u, its score in `found`; else -1.
    int64_t scoreRows(const ModelLevel& m, const Rows& r, Workspace::Scratch& planes,
                      Workspace::Scratch& s, int32_t v0, int32_t v1, double& found) const;
    // Level L's copy, built on first use (or taken from the other share).
    const LevelPixels& levelCopy(int L, const ModelLevel& m);
    // Level L's running column sums, built on first use.
    const LevelColumns& levelColumns(int L, const ModelLevel& m);
    void buildCopy(int L, const ModelLevel& m, LevelPixels& c);
    // The pixel (x, y) of level L's copy, and the copy's row stride.
    const int16_t* levelPixels(int L, const ModelLevel& m, int32_t x, int32_t y, int32_t& stride);
    int32_t accept(int L, int bottom, double score, double cx, double cy);
    // Searches level L over the area, or only collects it (refining a window of this score)
    // when L is the level being collected.
    int32_t descend(int L, int bottom, Rect area, double score);
    void hit(double score, double cx, double cy);
    // The lowest hit known to be no higher than the lowest of the final list, or -1 when there
    // is none yet: the lowest of a full list, or the better one of two shares.
    double knownLowest();
    // The helper's share of a search: its matcher (made on the helper's thread, with the
    // helper's workspace), the hits it may need and its own list of the best of them, its
    // code, and the level both shares build once.
    struct Share;
    // Searches level L over each of the areas, in two shares when the helper has taken the
    // job `prepared` (which gets its share ready), the areas of the best windows first: each
    // share keeps the hits it may need, and those of both are then added in the order of the
    // areas, which leaves the list as searching the areas one after another would.
    int32_t refineAll(int L, int bottom, const std::vector<Pending>& areas, HelperJob& prepared,
                      Share& aide);
    // Takes the bottom-level searches put off, once the tables are ready or, with `wait`,
    // once the other share has built them.
    int32_t resume(int bottom, bool wait);
    void project(int L, double& cx, double& cy) const;

    const Pyramid& model_;
    const Pyramid& image_;
    const Params& params_;
    HitList* hits_;
    // While a share runs: where its kept hits go, the area being refined and the bottom-level
    // search within it, where bottom-level searches are put off, and the better of the two
    // shares' lowest kept hits.
    std::vector<Found>* found_ = nullptr;
    std::size_t area_ = 0, part_ = 0;
    Pool* deferred_ = nullptr;
    std::atomic<double>* sharedLowest_ = nullptr;
    // The shared levels, one for each level, while a share runs.
    SharedLevel* shared_ = nullptr;
    // While the upper levels run ahead: the level whose areas are collected, and where.
    int collectLevel_ = -1;
    std::vector<Pending>* collected_ = nullptr;
    Workspace& work_;
    using Scratch = Workspace::Scratch;
    CrossRowFn kernel_;
    Routines routines_;
    int step_;
    std::array<ModelLevel, 8> models_;
    std::array<LevelPixels, 8> levels_;
    std::array<LevelSums, 8> sums_;
    std::array<LevelColumns, 8> columns_;
};

// ImPatExecute after its argument checks: builds both pyramids, searches, fills results. A
// search over a large area shares its work with `helper` unless that is null.
int32_t execute(Buffer& model, Buffer& image, const Params& params, ImPatResult* results,
                int capacity, CrossRowFn kernel = crossRow(),
                HelperThread* helper = &HelperThread::shared());

} // namespace qxm::imlib

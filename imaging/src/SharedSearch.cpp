// A search in two shares: the upper levels run ahead and collect the areas to refine, which
// the calling thread and the helper thread then refine together.
#include "Search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <thread>

namespace qxm::imlib {

namespace {

// Areas to refine that are enough for two shares of similar work.
constexpr std::size_t kSharedAreas = 32;

} // namespace

struct Matcher::Share {
    explicit Share(int capacity) : hits(capacity) {}
    std::optional<Matcher> matcher;
    HitList hits;
    std::vector<Found> found;
    int32_t code = IM_OK;
    // One for each level.
    std::array<SharedLevel, 8> levels;
};

double Matcher::knownLowest() {
    double lowest = hits_->full() ? hits_->lowest() : -1.0;
    if (sharedLowest_ != nullptr) {
        double seen = sharedLowest_->load(std::memory_order_relaxed);
        while (lowest > seen &&
               !sharedLowest_->compare_exchange_weak(seen, lowest, std::memory_order_relaxed)) {
        }
        lowest = std::max(lowest, seen);
    }
    return lowest;
}

int32_t Matcher::search(int top, int bottom, Rect area, HelperThread* helper) {
    if (helper == nullptr || top == bottom) return searchLevel(top, bottom, area, helper);
    // The levels above the bottom one find no hits, and nothing they do depends on the hits
    // found: they can run ahead, level by level, collecting the areas to refine in the order
    // in which searching depth first would refine them, until there are enough for two
    // shares of similar work. The helper gets its share ready meanwhile: from the start, or
    // once the top level is searched if that is scored in two halves (the helper scores one).
    Share aide(hits_->capacity());
    for (std::size_t L = 0; L < aide.levels.size(); ++L)
        aide.levels[L].level = int(L);
    SharedLevel& finest = aide.levels[std::size_t(bottom)];
    std::optional<HelperJob> prepared;
    auto prepare = [&] {
        const bool sums = claimSums(finest);
        prepared.emplace(helper, [&, sums] {
            const SumsClaim claim(sums ? &finest : nullptr);
            aide.matcher.emplace(model_, image_, params_, aide.hits, Workspace::local(), kernel_);
            aide.matcher->shared_ = aide.levels.data();
            aide.matcher->prepareShare(top, bottom, sums);
        });
        // A job the helper did not take leaves the tables to whoever needs them first.
        if (sums && !prepared->taken()) finest.sumsState.store(0, std::memory_order_release);
    };
    const bool topInHalves = int64_t(area.w) * area.h >= kSplitWindows;
    if (!topInHalves) prepare();
    std::vector<Pending> areas{{area, 0.0}}, next;
    int L = top;
    for (; L > bottom && areas.size() < kSharedAreas; --L) {
        next.clear();
        collected_ = &next;
        collectLevel_ = L - 1;
        int32_t code = IM_OK;
        for (std::size_t i = 0; i < areas.size() && code == IM_OK; ++i)
            code = searchLevel(L, bottom, areas[i].area, L == top ? helper : nullptr);
        collected_ = nullptr;
        collectLevel_ = -1;
        if (code != IM_OK) return code;
        areas.swap(next);
        if (L == top && topInHalves) prepare();
    }
    return refineAll(L, bottom, areas, *prepared, aide);
}

int32_t Matcher::resume(int bottom, bool wait) {
    if (deferred_->empty()) return IM_OK;
    const ModelLevel& m = modelLevel(bottom);
    if (levelSums(bottom, m) == nullptr) {
        if (!wait) return IM_OK;
        while (levelSums(bottom, m) == nullptr)
            std::this_thread::yield();
    }
    const std::size_t area = area_, part = part_;
    int32_t code = IM_OK;
    for (Deferred d; deferred_->take(d);) {
        area_ = d.area;
        part_ = d.part;
        const int32_t c = searchLevel(bottom, bottom, d.rect);
        if (c != IM_OK && code == IM_OK) code = c;
    }
    area_ = area;
    part_ = part;
    return code;
}

int32_t Matcher::refineAll(int L, int bottom, const std::vector<Pending>& areas,
                           HelperJob& prepared, Share& aide) {
    // The areas of the best windows first, so that the lowest kept hit, below which windows
    // are given up, soon comes near its final value. Both shares take the next area not yet
    // taken. Each gives up windows below the better of the two lowest kept hits: neither is
    // above the lowest hit of the merged list.
    std::vector<std::size_t> order(areas.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return areas[a].score > areas[b].score; });
    std::atomic<std::size_t> next{0};
    std::atomic<double> lowest{-1.0};
    const int capacity = hits_->capacity();
    // Bottom-level searches that come before the tables are ready wait here for them.
    Pool deferred;
    const bool shared = areas.size() >= 2 && prepared.taken();
    auto refine = [&](Matcher& m, HitList& hits, std::vector<Found>& found) {
        m.hits_ = &hits;
        m.found_ = &found;
        m.sharedLowest_ = &lowest;
        m.shared_ = aide.levels.data();
        m.deferred_ = shared ? &deferred : nullptr;
        int32_t code = IM_OK;
        auto note = [&code](int32_t c) {
            if (c != IM_OK && code == IM_OK) code = c;
        };
        for (std::size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < order.size();) {
            if (m.deferred_ != nullptr) note(m.resume(bottom, false));
            m.area_ = order[k];
            note(m.searchLevel(L, bottom, areas[order[k]].area));
        }
        if (m.deferred_ != nullptr) note(m.resume(bottom, true));
        m.found_ = nullptr;
        m.deferred_ = nullptr;
        m.sharedLowest_ = nullptr;
        m.shared_ = nullptr;
        return code;
    };
    if (shared) {
        prepared.then([&] {
            if (aide.matcher) aide.code = refine(*aide.matcher, aide.hits, aide.found);
        });
    }

    // Should refining throw, the search is abandoned with this matcher; `prepared` still
    // waits for the helper first.
    HitList ownHits(capacity);
    std::vector<Found> found;
    HitList* const hits = hits_;
    const int32_t code = refine(*this, ownHits, found);
    hits_ = hits;
    prepared.finish();
    if (shared) found.insert(found.end(), aide.found.begin(), aide.found.end());
    // Each bottom-level search's hits come from one share, in the order found.
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.area != b.area ? a.area < b.area : a.part < b.part;
    });
    for (const Found& f : found)
        hits_->add(f.score, f.x, f.y);
    return code != IM_OK ? code : aide.code;
}

} // namespace qxm::imlib

#include "Search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>

namespace qxm::imlib {

namespace {

// Models of at least this many pixels at the bottom level are scored with bounds; the square
// sums of larger ones than kBoundedAreaMax could overflow the 32-bit summed-area tables.
constexpr int32_t kBoundedArea = 64 * 64;
constexpr int32_t kBoundedAreaMax = 256 * 256;
// Room for the row bands of the bounded scores (at most 5).
constexpr std::size_t kBands = 8;
// Summed-area tables of more bytes than this are taken to be out of the caches.
constexpr std::size_t kCachedTables = 1 << 20;
// Levels above the bottom one sum their windows' columns from running column sums when the
// model has at least this many rows: summing each area's columns afresh then costs more than
// building the table once.
constexpr int32_t kColumnTableRows = 32;
// Searches whose bottom level has at least this many positions share their refinements with
// the helper thread.
constexpr uint64_t kSharedArea = 128 * 128;

// Running sums of the column sums along a row, one for each sampled column phase:
// q[u] = s[u] + q[u - step], with q[u] = s[u] for u < step.
void runningSums(const int32_t* __restrict s1, const int32_t* __restrict s2, int32_t n,
                 int32_t step, int64_t* __restrict q1, int64_t* __restrict q2) {
    if (step == 1) {
        int64_t a1 = 0, a2 = 0;
        for (int32_t u = 0; u < n; ++u) {
            q1[u] = a1 += s1[u];
            q2[u] = a2 += s2[u];
        }
        return;
    }
    int64_t e1 = 0, e2 = 0, o1 = 0, o2 = 0;
    int32_t u = 0;
    for (; u + 1 < n; u += 2) {
        q1[u] = e1 += s1[u];
        q2[u] = e2 += s2[u];
        q1[u + 1] = o1 += s1[u + 1];
        q2[u + 1] = o2 += s2[u + 1];
    }
    if (u < n) {
        q1[u] = e1 + s1[u];
        q2[u] = e2 + s2[u];
    }
}

// `mine` taken from the other share's `theirs` once that is built (`state` 2), else built by
// `build`; the share that starts building first publishes what it built, the other builds
// its own meanwhile. Without a shared level (`state` null) it is simply built.
template <class T, class Build>
void takeOrBuild(std::atomic<int>* state, T* theirs, T& mine, Build build) {
    int seen = 0;
    const bool publish =
        state != nullptr && state->compare_exchange_strong(seen, 1, std::memory_order_acquire);
    if (seen == 2) {
        mine = *theirs;
        return;
    }
    build();
    if (publish) {
        *theirs = mine;
        state->store(2, std::memory_order_release);
    }
}

inline int32_t roundUp(int32_t v, int32_t to) {
    return (v + to - 1) / to * to;
}

} // namespace

void HitList::add(double score, double x, double y) {
    // Before the first record of strictly lower score; records past the capacity are never
    // copied out, so they are not kept.
    int p = 0;
    while (p < count_ && records_[std::size_t(p)].score >= score)
        ++p;
    if (p >= capacity_) return;
    const int last = count_ < capacity_ ? count_ : capacity_ - 1;
    for (int i = last; i > p; --i)
        records_[std::size_t(i)] = records_[std::size_t(i) - 1];
    records_[std::size_t(p)] = ImPatResult{score, x, y};
    if (count_ < capacity_) ++count_;
}

Rect refinementArea(double cx, double cy, const Area& clip) {
    int32_t x0 = int32_t(std::trunc(2.0 * cx - 1.5));
    int32_t x1 = int32_t(std::trunc(std::ceil(2.0 * cx + 2.5)));
    int32_t y0 = int32_t(std::trunc(2.0 * cy - 1.5));
    int32_t y1 = int32_t(std::trunc(std::ceil(2.0 * cy + 2.5)));
    x0 = std::max(x0, int32_t(clip.x));
    x1 = std::min(x1, int32_t(clip.x + clip.w) - 1);
    y0 = std::max(y0, int32_t(clip.y));
    y1 = std::min(y1, int32_t(clip.y + clip.h) - 1);
    return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

Matcher::Matcher(const Pyramid& model, const Pyramid& image, const Params& params, HitList& hits,
                 Workspace& work, CrossRowFn kernel)
    : model_(model), image_(image), params_(params), hits_(&hits), work_(work), kernel_(kernel),
      routines_(routinesFor(kernel)), step_(params.secondPixel != 0 ? 2 : 1) {}

const Matcher::ModelLevel& Matcher::modelLevel(int L) {
    ModelLevel& m = models_[std::size_t(L)];
    if (m.ready) return m;
    const Buffer& b = *model_.level(L);
    m.mw = int32_t(b.width);
    m.mh = int32_t(b.height);
    // Sampled columns step - 1, 2 * step - 1, ...: all of them, or the odd ones.
    const int32_t sampled = step_ == 1 ? m.mw : m.mw / 2;
    m.taps = roundUp(std::max(sampled, 1), kTapBlock);
    m.lastTap = step_ - 1 + step_ * (sampled - 1);
    m.coef.assign(std::size_t(m.mh) * std::size_t(m.taps), 0);
    int64_t sm = 0, smm = 0;
    for (int32_t r = 0; r < m.mh; ++r) {
        const uint8_t* row = b.row(uint32_t(r));
        int16_t* coef = m.coef.data() + std::size_t(r) * std::size_t(m.taps);
        for (int32_t t = 0; t < sampled; ++t) {
            const int32_t v = row[step_ - 1 + step_ * t];
            coef[t] = int16_t(v);
            sm += v;
            smm += v * v;
        }
    }
    m.rest1.assign(std::size_t(m.mh) + 1, 0.0);
    m.rest2.assign(std::size_t(m.mh) + 1, 0.0);
    for (int32_t r = m.mh - 1; r >= 0; --r) {
        int64_t r1 = 0, r2 = 0;
        const int16_t* coef = m.coef.data() + std::size_t(r) * std::size_t(m.taps);
        for (int32_t t = 0; t < sampled; ++t) {
            r1 += coef[t];
            r2 += int64_t(coef[t]) * coef[t];
        }
        m.rest1[std::size_t(r)] = m.rest1[std::size_t(r) + 1] + double(r1);
        m.rest2[std::size_t(r)] = m.rest2[std::size_t(r) + 1] + double(r2);
    }
    m.n = double(m.mw) * double(m.mh);
    m.sm = double(sm);
    m.vm = std::fabs(m.n * double(smm) - m.sm * m.sm);
    m.ready = true;
    return m;
}

void Matcher::boundedScores(int L, const ModelLevel& m, const LevelSums& sums, int32_t xs,
                            int32_t ys, int32_t nx, int32_t ny, double bar, double* scores) {
    Scratch& s = work_.scratch[std::size_t(L)];
    const std::size_t count = std::size_t(nx) * std::size_t(ny);
    const std::size_t cols = std::size_t(nx);
    int32_t stride = 0;
    const int16_t* patch = levelPixels(L, m, xs, ys, stride);
    const LevelPixels& pixels = levelCopy(L, m);
    // Window (u, v)'s corner in the tables (outside the image the copy holds 0).
    const std::ptrdiff_t ss = sums.stride;
    const std::ptrdiff_t corner = std::ptrdiff_t(ys - pixels.y0) * ss + (xs - pixels.x0);
    // The bounds read the tables at five rows a row of windows. Tables larger than the
    // caches are read from memory: asking for all those lines at once lets it work on them
    // together.
    const int32_t step = std::max<int32_t>(8, m.mh / 4);
    const bool large =
        2 * sizeof(uint32_t) * std::size_t(pixels.rows + 1) * std::size_t(ss) > kCachedTables;
    for (int32_t v = 0; large && v < ny; ++v)
        for (int32_t edge = 0; edge < m.mh + step; edge += step) {
            const std::ptrdiff_t row = corner + std::ptrdiff_t(v + std::min(edge, m.mh)) * ss;
            for (const std::ptrdiff_t at : {row, row + nx - 1, row + m.mw, row + m.mw + nx - 1}) {
                __builtin_prefetch(sums.s1 + at);
                __builtin_prefetch(sums.s2 + at);
            }
        }
    s.partial.assign(count, 0);
    s.alive.assign(count, 1);
    // The kernels' outputs: a run of at most nx positions.
    s.cross.resize(std::size_t(nx));
    s.crossOdd.resize(std::size_t(nx));
    std::vector<int64_t>& tmp = s.cross;
    const double n = m.n, sm = m.sm, vm = m.vm;
    const PruneTerms prune{n, sm, vm, bar};
    // The cross sums run row band by row band; after each band, a window whose score cannot
    // pass `bar` even if the rows still to come matched as well as they possibly can is given
    // up.
    const int32_t bands = (m.mh + step - 1) / step; // at most 5, below kBands
    // What the rows of band j can add at most to a window's cross sum. For a part of nr
    // pixels (outside the image 0) with sums a, aa of the image and b, bb of the model,
    // Cauchy-Schwarz on the centred values gives
    //     sum I*M <= a*b/nr + sqrt((aa - a*a/nr) * (bb - b*b/nr)).
    // Every rounding is covered by a margin: the variances get 1e-12 of the square sum and 1
    // on top, the sum of the parts 1e-9 of itself and 1.
    BandTerms terms;
    terms.count = bands;
    terms.width = m.mw;
    terms.height = m.mh;
    terms.pixels = n;
    for (int32_t j = 1; j < bands; ++j) {
        const int32_t a = j * step, b = std::min(a + step, m.mh);
        const double inr = 1.0 / (double(b - a) * double(m.mw));
        const double mb = m.rest1[std::size_t(a)] - m.rest1[std::size_t(b)];
        const double mbb = m.rest2[std::size_t(a)] - m.rest2[std::size_t(b)];
        terms.top[std::size_t(j)] = a;
        terms.bottom[std::size_t(j)] = b;
        terms.inr[std::size_t(j)] = inr;
        terms.mb[std::size_t(j)] = mb;
        terms.varM[std::size_t(j)] = std::max(mbb - mb * mb * inr, 0.0) + 1e-12 * mbb + 1.0;
    }
    // Per window i: its sum and variance term, and the bound of the rows from band j on
    // (rest[j * count + i]).
    s.wsum.resize(count);
    s.wvar.resize(count);
    s.rest.resize(count * kBands);
    for (int32_t v = 0; v < ny; ++v) {
        const std::size_t i = std::size_t(v) * cols;
        routines_.bounds(sums.s1 + corner + v * ss, sums.s2 + corner + v * ss, ss, terms, nx,
                         s.wsum.data() + i, s.wvar.data() + i, s.rest.data() + i, count);
    }
    for (int32_t j = 0; j < bands; ++j) {
        const int32_t k0 = j * step, k1 = std::min(k0 + step, m.mh);
        // The alive windows of each row lie in [u0, u1]; two rows with any are done together.
        bool any = false;
        auto aliveRun = [&](int32_t v, int32_t& u0, int32_t& u1) {
            const uint8_t* alive = s.alive.data() + std::size_t(v) * cols;
            u0 = nx;
            u1 = -1;
            for (int32_t u = 0; u < nx; ++u)
                if (alive[u]) {
                    u0 = std::min(u0, u);
                    u1 = u;
                }
            return u1 >= 0;
        };
        const int16_t* modelRows = m.coef.data() + std::size_t(k0) * std::size_t(m.taps);
        for (int32_t v = 0; v < ny; ++v) {
            int32_t u0, u1;
            if (!aliveRun(v, u0, u1)) continue;
            any = true;
            int32_t w0, w1;
            const bool pair =
                routines_.crossRow2 != nullptr && v + 1 < ny && aliveRun(v + 1, w0, w1);
            if (pair) {
                u0 = std::min(u0, w0);
                u1 = std::max(u1, w1);
                routines_.crossRow2(patch + std::ptrdiff_t(v + k0) * stride + u0, stride, modelRows,
                                    k1 - k0, m.taps, u1 - u0 + 1, tmp.data(), s.crossOdd.data());
            } else {
                kernel_(patch + std::ptrdiff_t(v + k0) * stride + u0, stride, modelRows, k1 - k0,
                        m.taps, u1 - u0 + 1, tmp.data());
            }
            int64_t* partial = s.partial.data() + std::size_t(v) * cols;
            for (int32_t u = u0; u <= u1; ++u)
                partial[u] += tmp[std::size_t(u - u0)];
            if (pair) {
                partial += cols;
                for (int32_t u = u0; u <= u1; ++u)
                    partial[u] += s.crossOdd[std::size_t(u - u0)];
                ++v;
            }
        }
        if (!any || j + 1 == bands) break;
        // dub lies above the d the score is computed from, its rounding included; the
        // computed score is then at most dub^2 / (vm * vi) * 100 (rounding included), which
        // is below `bar`.
        routines_.prune(s.partial.data(), s.rest.data() + (std::size_t(j) + 1) * count,
                        s.wsum.data(), s.wvar.data(), int(count), prune, s.alive.data());
    }
    for (std::size_t i = 0; i < count; ++i) {
        double score = 0.0;
        const double vi = s.wvar[i];
        if (s.alive[i] && vi != 0.0) {
            const double d = n * double(s.partial[i]) - s.wsum[i] * sm;
            if (d > 0.0) score = d * d / (vm * vi) * 100.0;
        }
        scores[i] = score;
    }
}

// Second-pixel sampling: splits the tw x th pixels from `patch` into even and odd column
// planes so that every window's sampled columns are contiguous in one of them.
void Matcher::splitColumns(int L, const int16_t* patch, int32_t stride, int32_t tw, int32_t th) {
    Scratch& s = work_.scratch[std::size_t(L)];
    const int32_t ps = int32_t(s.even.size() / std::size_t(th));
    for (int32_t t = 0; t < th; ++t) {
        const int16_t* src = patch + std::ptrdiff_t(t) * stride;
        int16_t* e = s.even.data() + std::size_t(t) * std::size_t(ps);
        int16_t* o = s.odd.data() + std::size_t(t) * std::size_t(ps);
        for (int32_t c = 0; c < tw; c += 2)
            e[c / 2] = src[c];
        for (int32_t c = 1; c < tw; c += 2)
            o[c / 2] = src[c];
    }
}

const Matcher::LevelPixels& Matcher::levelCopy(int L, const ModelLevel& m) {
    LevelPixels& c = levels_[std::size_t(L)];
    if (c.ready) return c;
    SharedLevel* const shared = sharedLevel(L);
    takeOrBuild(shared != nullptr ? &shared->pixelsState : nullptr,
                shared != nullptr ? &shared->pixels : nullptr, c, [&] { buildCopy(L, m, c); });
    return c;
}

void Matcher::buildCopy(int L, const ModelLevel& m, LevelPixels& c) {
    const Buffer& img = *image_.level(L);
    const Area& a = img.search;
    const int32_t hw = (m.mw - 1) / 2, hh = (m.mh - 1) / 2;
    // Windows centred in the search area, plus what the kernels read past a run: up to the
    // run rounded up to kPositionBlock, and the model's padding taps beyond its width (which
    // only meet zero coefficients; with second-pixel sampling the kernels read column planes
    // instead, and there are fewer taps than columns).
    c.x0 = int32_t(a.x) - hw;
    c.y0 = int32_t(a.y) - hh;
    const int32_t x1 =
        int32_t(a.x + a.w) + (m.mw - 1 - hw) + std::max(m.taps - m.mw, 0) + kPositionBlock;
    const int32_t y1 = int32_t(a.y + a.h) + (m.mh - 1 - hh);
    c.stride = roundUp(x1 - c.x0, kTapBlock);
    c.cols = int32_t(a.x + a.w) + (m.mw - 1 - hw) - c.x0;
    const int32_t rows = y1 - c.y0;
    c.rows = rows;
    // Every element is written below.
    c.pixels = work_.pixels[std::size_t(L)].get(std::size_t(rows) * std::size_t(c.stride));
    const int32_t xa = std::max(c.x0, 0), xb = std::min(c.x0 + c.stride, int32_t(img.width));
    for (int32_t t = 0; t < rows; ++t) {
        int16_t* dst = c.pixels + std::size_t(t) * std::size_t(c.stride);
        const int32_t yy = c.y0 + t;
        if (xa >= xb || yy < 0 || yy >= int32_t(img.height)) {
            std::fill(dst, dst + c.stride, int16_t(0));
            continue;
        }
        std::fill(dst, dst + (xa - c.x0), int16_t(0));
        const uint8_t* src = img.row(uint32_t(yy)) + xa;
        int16_t* in = dst + (xa - c.x0);
        for (int32_t k = 0; k < xb - xa; ++k)
            in[k] = src[k];
        std::fill(in + (xb - xa), dst + c.stride, int16_t(0));
    }
    c.ready = true;
}

const int16_t* Matcher::levelPixels(int L, const ModelLevel& m, int32_t x, int32_t y,
                                    int32_t& stride) {
    const LevelPixels& c = levelCopy(L, m);
    stride = c.stride;
    return c.pixels + std::ptrdiff_t(y - c.y0) * c.stride + (x - c.x0);
}

const Matcher::LevelSums* Matcher::levelSums(int L, const ModelLevel& m) {
    LevelSums& t = sums_[std::size_t(L)];
    if (t.ready) return &t;
    SharedLevel* const shared = sharedLevel(L);
    if (shared != nullptr) {
        int state = 0;
        if (!shared->sumsState.compare_exchange_strong(state, 1, std::memory_order_acquire)) {
            if (state != 2) return nullptr;
            t = shared->sums;
            return &t;
        }
    }
    const SumsClaim claim(shared);
    buildSums(L, m, shared);
    return &t;
}

void Matcher::buildTables(int L, const ModelLevel& m, int32_t stride, SummedRowFn row,
                          std::array<Reusable<uint32_t>, 8>& memory1,
                          std::array<Reusable<uint32_t>, 8>& memory2, uint32_t*& t1,
                          uint32_t*& t2) {
    const LevelPixels& c = levelCopy(L, m);
    const std::size_t size = (std::size_t(c.rows) + 1) * std::size_t(stride);
    t1 = memory1[std::size_t(L)].get(size);
    t2 = memory2[std::size_t(L)].get(size);
    std::fill(t1, t1 + stride, 0u);
    std::fill(t2, t2 + stride, 0u);
    for (int32_t r = 0; r < c.rows; ++r) {
        const std::ptrdiff_t up = std::ptrdiff_t(r) * stride;
        row(c.pixels + std::ptrdiff_t(r) * c.stride, t1 + up, t2 + up, c.cols, t1 + up + stride,
            t2 + up + stride);
    }
}

void Matcher::buildSums(int L, const ModelLevel& m, SharedLevel* shared) {
    LevelSums& t = sums_[std::size_t(L)];
    t.stride = levelCopy(L, m).cols + 1;
    buildTables(L, m, t.stride, routines_.summedRow, work_.sums1, work_.sums2, t.s1, t.s2);
    t.ready = true;
    if (shared != nullptr) {
        shared->sums = t;
        shared->sumsState.store(2, std::memory_order_release);
    }
}

const Matcher::LevelColumns& Matcher::levelColumns(int L, const ModelLevel& m) {
    LevelColumns& t = columns_[std::size_t(L)];
    if (t.ready) return t;
    SharedLevel* const shared = sharedLevel(L);
    takeOrBuild(shared != nullptr ? &shared->columnsState : nullptr,
                shared != nullptr ? &shared->columns : nullptr, t, [&] {
                    t.stride = levelCopy(L, m).cols;
                    buildTables(L, m, t.stride, routines_.runningColumns, work_.down1, work_.down2,
                                t.c1, t.c2);
                    t.ready = true;
                });
    return t;
}

bool Matcher::boundable(int L, int bottom, const ModelLevel& m) const {
    // Only large models gain more from giving up hopeless windows early than the bounds cost.
    return L == bottom && step_ == 1 && m.mw * m.mh >= kBoundedArea &&
           m.mw * m.mh <= kBoundedAreaMax;
}

bool Matcher::claimSums(SharedLevel& shared) {
    int state = 0;
    return boundable(shared.level, shared.level, modelLevel(shared.level)) &&
           shared.sumsState.compare_exchange_strong(state, 1, std::memory_order_acquire);
}

void Matcher::prepareShare(int top, int bottom, bool sums) {
    for (int k = bottom + 1; k < top; ++k)
        modelLevel(k);
    const ModelLevel& m = modelLevel(bottom);
    if (sums)
        buildSums(bottom, m, sharedLevel(bottom));
    else
        levelCopy(bottom, m);
}

int32_t Matcher::accept(int L, int bottom, double score, double cx, double cy) {
    if (L > bottom)
        return descend(L - 1, bottom, refinementArea(cx, cy, image_.level(L - 1)->search), score);
    project(L, cx, cy);
    hit(score, cx, cy);
    return IM_OK;
}

int32_t Matcher::descend(int L, int bottom, Rect area, double score) {
    if (L == bottom) ++part_;
    if (L != collectLevel_) return searchLevel(L, bottom, area);
    collected_->push_back({area, score});
    return IM_OK;
}

void Matcher::hit(double score, double cx, double cy) {
    if (found_ != nullptr && hits_->mayKeep(score))
        found_->push_back({score, cx, cy, area_, part_});
    hits_->add(score, cx, cy);
}

void Matcher::project(int L, double& cx, double& cy) const {
    if (L == 0) return;
    const Rect a = refinementArea(cx, cy, image_.level(L - 1)->search);
    int32_t ax = a.x, ay = a.y, bx = a.x + a.w - 1, by = a.y + a.h - 1;
    for (int k = L - 1; k >= 1; --k) {
        const Area& clip = image_.level(k - 1)->search;
        const Rect tl = refinementArea(ax, ay, clip);
        const Rect br = refinementArea(bx, by, clip);
        ax = tl.x;
        ay = tl.y;
        bx = br.x + br.w - 1;
        by = br.y + br.h - 1;
    }
    cx = ax + (bx - ax) * 0.5;
    cy = ay + (by - ay) * 0.5;
}

int64_t Matcher::scoreRows(const ModelLevel& m, const Rows& r, Scratch& planes, Scratch& s,
                           int32_t v0, int32_t v1, double& found) const {
    const int32_t tw = r.tw, nx = r.nx, stride = r.stride;
    s.s1.resize(std::size_t(tw));
    s.s2.resize(std::size_t(tw));
    // q[0] and q[1] stay 0; every row's running sums fill the rest.
    s.q1.resize(std::size_t(tw) + 2);
    s.q2.resize(std::size_t(tw) + 2);
    s.q1[0] = s.q1[1] = s.q2[0] = s.q2[1] = 0;
    s.cross.resize(std::size_t(nx));
    s.crossOdd.resize(std::size_t(nx));
    s.scores.resize(std::size_t(nx));
    if (step_ != 1) s.merged.resize(std::size_t(nx));

    auto patchRow = [&](int32_t t) { return r.patch + std::ptrdiff_t(t) * stride; };
    if (r.down1 == nullptr) {
        std::fill(s.s1.begin(), s.s1.end(), 0);
        std::fill(s.s2.begin(), s.s2.end(), 0);
        for (int32_t t = v0; t < v0 + m.mh - 1; ++t)
            routines_.columns(patchRow(t), nullptr, s.s1.data(), s.s2.data(), tw);
    }

    const double n = m.n, sm = m.sm, vm = m.vm;
    const double certainty = params_.certainty, acceptance = params_.accept;
    const int32_t ps = step_ == 1 ? 0 : int32_t(planes.even.size() / std::size_t(r.th));
    for (int32_t v = v0; v < v1; ++v) {
        if (r.down1 != nullptr) {
            // Exact: the true column sums are far below 2^31.
            const uint32_t* top1 = r.down1 + std::ptrdiff_t(v) * r.downStride;
            const uint32_t* top2 = r.down2 + std::ptrdiff_t(v) * r.downStride;
            const std::ptrdiff_t rows = std::ptrdiff_t(m.mh) * r.downStride;
            for (int32_t u = 0; u < tw; ++u) {
                s.s1[std::size_t(u)] = int32_t(top1[rows + u] - top1[u]);
                s.s2[std::size_t(u)] = int32_t(top2[rows + u] - top2[u]);
            }
        } else {
            routines_.columns(patchRow(v + m.mh - 1), v == v0 ? nullptr : patchRow(v - 1),
                              s.s1.data(), s.s2.data(), tw);
        }
        runningSums(s.s1.data(), s.s2.data(), tw, step_, s.q1.data() + 2, s.q2.data() + 2);
        if (step_ == 1) {
            // Two rows of windows at a time where the routine shares the model's loads.
            if (v > v0 && (v - v0) % 2 == 1 && routines_.crossRow2 != nullptr) {
                std::swap(s.cross, s.crossOdd);
            } else if (v + 1 < v1 && routines_.crossRow2 != nullptr) {
                routines_.crossRow2(patchRow(v), stride, m.coef.data(), m.mh, m.taps, nx,
                                    s.cross.data(), s.crossOdd.data());
            } else {
                kernel_(patchRow(v), stride, m.coef.data(), m.mh, m.taps, nx, s.cross.data());
            }
        } else {
            const std::size_t off = std::size_t(v) * std::size_t(ps);
            kernel_(planes.odd.data() + off, ps, m.coef.data(), m.mh, m.taps, (nx + 1) / 2,
                    s.cross.data());
            kernel_(planes.even.data() + off + 1, ps, m.coef.data(), m.mh, m.taps, nx / 2,
                    s.crossOdd.data());
            for (int32_t u = 0; u < nx; ++u)
                s.merged[std::size_t(u)] =
                    (u & 1) ? s.crossOdd[std::size_t(u >> 1)] : s.cross[std::size_t(u >> 1)];
        }
        // Window u's sums are q[u + lastTap + 2] - q[u + 1].
        routines_.scores(s.q1.data() + 1, s.q2.data() + 1, m.lastTap + 1,
                         step_ == 1 ? s.cross.data() : s.merged.data(), nx, n, sm, vm,
                         s.scores.data());
        const double* scores = s.scores.data();
        for (int32_t u = 0; u < nx; ++u)
            if (scores[u] >= certainty) {
                found = scores[u];
                return int64_t(v) * nx + u;
            }
        double* tableRow = planes.table.data() + std::size_t(v) * std::size_t(r.cw);
        for (int32_t u = 0; u < nx; ++u)
            tableRow[u] = scores[u] >= acceptance ? scores[u] : 0.0;
    }
    return -1;
}

int32_t Matcher::searchLevel(int L, int bottom, Rect area, HelperThread* helper) {
    const ModelLevel& m = modelLevel(L);
    const double hwd = (m.mw - 1) / 2.0, hhd = (m.mh - 1) / 2.0;
    const int32_t hw = int32_t(hwd), hh = int32_t(hhd);
    const int32_t xs = area.x - hw, ys = area.y - hh;
    const int32_t xe = area.x + area.w - 1 + hw, ye = area.y + area.h - 1 + hh;
    const int32_t tw = xe - xs + 1, th = ye - ys + 1;
    // Window positions: x from xs while x + mw - 1 <= xe, y likewise.
    const int32_t nx = tw - m.mw + 1, ny = th - m.mh + 1;
    // A model without variance scores 0 everywhere: nothing reaches the table.
    if (m.vm == 0.0 || nx <= 0 || ny <= 0) return IM_OK;
    // Once the hit list is full, hopeless windows are given up early; while the other share
    // builds the tables that takes, the search is put off (when there is a pool for it).
    const LevelSums* sums = nullptr;
    double lowest = -1.0;
    if (boundable(L, bottom, m) && (lowest = knownLowest()) >= 0.0 &&
        (sums = levelSums(L, m)) == nullptr && deferred_ != nullptr) {
        deferred_->put({area, area_, part_});
        return IM_OK;
    }

    Scratch& s = work_.scratch[std::size_t(L)];
    int32_t stride = 0;
    const int16_t* patch = levelPixels(L, m, xs, ys, stride);
    if (step_ != 1) {
        const int32_t ps = roundUp(roundUp((nx + 1) / 2, kPositionBlock) + m.taps + 1, kTapBlock);
        s.even.assign(std::size_t(th) * std::size_t(ps), 0);
        s.odd.assign(std::size_t(th) * std::size_t(ps), 0);
        splitColumns(L, patch, stride, tw, th);
    }

    // Only the top-left nx x ny cells can get a score; two more columns and rows are enough
    // for the suppression blocks that reach them.
    const int32_t cw = std::min(tw, nx + 2), ch = std::min(th, ny + 2);
    s.table.assign(std::size_t(cw) * std::size_t(ch), 0.0);
    const double certainty = params_.certainty, acceptance = params_.accept;
    if (sums != nullptr) {
        s.scores.resize(std::size_t(nx) * std::size_t(ny));
        // A window below the lowest kept hit cannot enter the list, one below the acceptance
        // not even the table; none of them may reach the certainty, which ends the level.
        const double bar = std::min(std::max(lowest, acceptance), certainty);
        boundedScores(L, m, *sums, xs, ys, nx, ny, bar, s.scores.data());
        bool any = false;
        for (int32_t v = 0; v < ny; ++v) {
            double* tableRow = s.table.data() + std::size_t(v) * std::size_t(cw);
            for (int32_t u = 0; u < nx; ++u) {
                const double score = s.scores[std::size_t(v) * std::size_t(nx) + std::size_t(u)];
                if (score >= certainty) return accept(L, bottom, score, xs + u + hwd, ys + v + hhd);
                if (score >= acceptance) {
                    tableRow[u] = score;
                    any = true;
                }
            }
        }
        // Often every window was given up: then there is nothing to suppress or report.
        return any ? finishLevel(L, bottom, xs, ys, nx, ny, cw, tw, th, hwd, hhd) : IM_OK;
    }
    // A large level is scored in two halves of rows, the lower one by the helper.
    Rows rows{patch, stride, tw, th, nx, cw, nullptr, nullptr, 0};
    if (L > bottom && m.mh >= kColumnTableRows) {
        const LevelColumns& down = levelColumns(L, m);
        const LevelPixels& c = levelCopy(L, m);
        const std::ptrdiff_t corner = std::ptrdiff_t(ys - c.y0) * down.stride + (xs - c.x0);
        rows.down1 = down.c1 + corner;
        rows.down2 = down.c2 + corner;
        rows.downStride = down.stride;
    }
    const int32_t split = helper != nullptr && int64_t(nx) * ny >= kSplitWindows ? ny / 2 : ny;
    double score = 0.0, helperScore = 0.0;
    int64_t at = -1, helperAt = -1;
    HelperJob lower(split < ny ? helper : nullptr, [&] {
        helperAt = scoreRows(m, rows, s, Workspace::local().scratch[std::size_t(L)], split, ny,
                             helperScore);
    });
    at = scoreRows(m, rows, s, s, 0, lower.taken() ? split : ny, score);
    if (lower.taken()) {
        lower.finish();
        if (at < 0) {
            at = helperAt;
            score = helperScore;
        }
    }
    if (at >= 0) return accept(L, bottom, score, xs + at % nx + hwd, ys + at / nx + hhd);
    return finishLevel(L, bottom, xs, ys, nx, ny, cw, tw, th, hwd, hhd);
}

int32_t Matcher::finishLevel(int L, int bottom, int32_t xs, int32_t ys, int32_t nx, int32_t ny,
                             int32_t cw, int32_t tw, int32_t th, double hwd, double hhd) {
    Scratch& s = work_.scratch[std::size_t(L)];
    suppressNonMaxima(s.table.data(), cw, tw, th, nx, ny);

    int32_t result = IM_OK;
    for (int32_t v = 0; v < ny; ++v) {
        for (int32_t u = 0; u < nx; ++u) {
            const double score = s.table[std::size_t(v) * std::size_t(cw) + std::size_t(u)];
            if (!(score > 0.0)) continue;
            double cx = xs + u + hwd, cy = ys + v + hhd;
            if (L > bottom) {
                result = descend(L - 1, bottom, refinementArea(cx, cy, image_.level(L - 1)->search),
                                 score);
            } else {
                project(L, cx, cy);
                hit(score, cx, cy);
            }
        }
    }
    return result;
}

Workspace& Workspace::local() {
    thread_local Workspace work;
    return work;
}

int32_t execute(Buffer& model, Buffer& image, const Params& params, ImPatResult* results,
                int capacity, CrossRowFn kernel, HelperThread* helper) {
    const int32_t mw = int32_t(model.width), mh = int32_t(model.height);
    const int32_t iw = int32_t(image.width), ih = int32_t(image.height);
    const int32_t sx = int32_t(image.search.x), sy = int32_t(image.search.y);
    const int32_t sw = int32_t(image.search.w), sh = int32_t(image.search.h);
    const int32_t hw = (mw - 1) / 2, hh = (mh - 1) / 2;
    const int32_t x0 = std::max(sx - hw, 0), y0 = std::max(sy - hh, 0);
    const int32_t x1 = std::min(sx + sw - 1 + hw, iw - 1), y1 = std::min(sy + sh - 1 + hh, ih - 1);
    const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;

    const int depth = pyramidDepth(mw, mh, rw, rh);
    const int top = std::min(depth, int(params.firstLevel));
    const int bottom = std::min(int(params.lastLevel), top);

    Pyramid modelPyramid, imagePyramid;
    int32_t code = modelPyramid.build(model, Region{0, 0, mw, mh}, top);
    if (code != IM_OK) return code;
    code = imagePyramid.build(image, Region{x0, y0, rw, rh}, top);
    if (code != IM_OK) return code;

    HitList hits(capacity);
    Matcher matcher(modelPyramid, imagePyramid, params, hits, Workspace::local(), kernel);
    // Below about this many positions at the bottom level, sharing costs more than it saves.
    const Area& finest = imagePyramid.level(bottom)->search;
    if (uint64_t(finest.w) * finest.h < kSharedArea) helper = nullptr;
    const Area& a = imagePyramid.level(top)->search;
    code = matcher.search(top, bottom, Rect{int32_t(a.x), int32_t(a.y), int32_t(a.w), int32_t(a.h)},
                          helper);
    if (code != IM_OK) return code;
    for (int i = 0; i < hits.size(); ++i)
        results[i] = hits[i];
    return hits.size();
}

} // namespace qxm::imlib

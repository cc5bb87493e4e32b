#include "Search.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace qxm::imlib {

namespace {

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

void suppressNonMaxima(double* table, int stride, int w, int h, int nx, int ny) {
    const int kw = std::min(w, 3), kh = std::min(h, 3);
    const int axEnd = std::min(w - kw, nx - 1), ayEnd = std::min(h - kh, ny - 1);
    for (int ay = 0; ay <= ayEnd; ++ay) {
        for (int ax = 0; ax <= axEnd; ++ax) {
            double* best = table + std::ptrdiff_t(ay) * stride + ax;
            for (int dy = 0; dy < kh; ++dy) {
                double* row = table + std::ptrdiff_t(ay + dy) * stride + ax;
                for (int dx = dy == 0 ? 1 : 0; dx < kw; ++dx) {
                    double* cell = row + dx;
                    if (*best >= *cell) {
                        *cell = 0.0;
                    } else {
                        *best = 0.0;
                        best = cell;
                    }
                }
            }
        }
    }
}

Matcher::Matcher(const Pyramid& model, const Pyramid& image, const Params& params, HitList& hits,
                 CrossRowFn kernel)
    : model_(model), image_(image), params_(params), hits_(hits), kernel_(kernel),
      step_(params.secondPixel != 0 ? 2 : 1) {}

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
    m.n = double(m.mw) * double(m.mh);
    m.sm = double(sm);
    m.vm = std::fabs(m.n * double(smm) - m.sm * m.sm);
    m.ready = true;
    return m;
}

// Copies the image pixels under the table (tw x th from (xs, ys)) into the level's int16
// patch; places outside the image are 0, which is what clipping the windows amounts to.
void Matcher::buildPatch(int L, int32_t xs, int32_t ys, int32_t tw, int32_t th, int32_t stride) {
    const Buffer& img = *image_.level(L);
    Scratch& s = scratch_[std::size_t(L)];
    s.patch.assign(std::size_t(th) * std::size_t(stride), 0);
    const int32_t xa = std::max(xs, 0), xb = std::min(xs + tw - 1, int32_t(img.width) - 1);
    const int32_t ya = std::max(ys, 0), yb = std::min(ys + th - 1, int32_t(img.height) - 1);
    if (xa > xb) return;
    for (int32_t y = ya; y <= yb; ++y) {
        const uint8_t* src = img.row(uint32_t(y)) + xa;
        int16_t* dst = s.patch.data() + std::size_t(y - ys) * std::size_t(stride) + (xa - xs);
        for (int32_t c = 0; c <= xb - xa; ++c)
            dst[c] = src[c];
    }
    if (step_ == 1) return;
    // Second-pixel sampling: split the columns into even and odd planes so that every
    // window's sampled columns are contiguous in one of them.
    const int32_t ps = int32_t(s.even.size() / std::size_t(th));
    for (int32_t t = 0; t < th; ++t) {
        const int16_t* src = s.patch.data() + std::size_t(t) * std::size_t(stride);
        int16_t* e = s.even.data() + std::size_t(t) * std::size_t(ps);
        int16_t* o = s.odd.data() + std::size_t(t) * std::size_t(ps);
        for (int32_t c = 0; c < tw; c += 2)
            e[c / 2] = src[c];
        for (int32_t c = 1; c < tw; c += 2)
            o[c / 2] = src[c];
    }
}

int32_t Matcher::accept(int L, int bottom, double score, double cx, double cy) {
    if (L > bottom)
        return searchLevel(L - 1, bottom, refinementArea(cx, cy, image_.level(L - 1)->search));
    project(L, cx, cy);
    hits_.add(score, cx, cy);
    return IM_OK;
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

int32_t Matcher::searchLevel(int L, int bottom, Rect area) {
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

    Scratch& s = scratch_[std::size_t(L)];
    int32_t stride;
    if (step_ == 1) {
        stride = roundUp(roundUp(nx, kPositionBlock) + m.taps, kTapBlock);
    } else {
        stride = roundUp(tw, kTapBlock);
        const int32_t ps = roundUp(roundUp((nx + 1) / 2, kPositionBlock) + m.taps + 1, kTapBlock);
        s.even.assign(std::size_t(th) * std::size_t(ps), 0);
        s.odd.assign(std::size_t(th) * std::size_t(ps), 0);
    }
    buildPatch(L, xs, ys, tw, th, stride);

    // Only the top-left nx x ny cells can get a score; two more columns and rows are enough
    // for the suppression blocks that reach them.
    const int32_t cw = std::min(tw, nx + 2), ch = std::min(th, ny + 2);
    s.table.assign(std::size_t(cw) * std::size_t(ch), 0.0);
    s.s1.assign(std::size_t(tw), 0);
    s.s2.assign(std::size_t(tw), 0);
    s.q1.assign(std::size_t(tw) + 2, 0);
    s.q2.assign(std::size_t(tw) + 2, 0);
    s.cross.resize(std::size_t(nx));
    s.crossOdd.resize(std::size_t(nx));

    auto addRow = [&](int32_t t) {
        const int16_t* p = s.patch.data() + std::size_t(t) * std::size_t(stride);
        int32_t* s1 = s.s1.data();
        int32_t* s2 = s.s2.data();
        for (int32_t u = 0; u < tw; ++u) {
            s1[u] += p[u];
            s2[u] += p[u] * p[u];
        }
    };
    auto subtractRow = [&](int32_t t) {
        const int16_t* p = s.patch.data() + std::size_t(t) * std::size_t(stride);
        int32_t* s1 = s.s1.data();
        int32_t* s2 = s.s2.data();
        for (int32_t u = 0; u < tw; ++u) {
            s1[u] -= p[u];
            s2[u] -= p[u] * p[u];
        }
    };
    for (int32_t t = 0; t < m.mh - 1; ++t)
        addRow(t);

    const double n = m.n, sm = m.sm, vm = m.vm;
    const double certainty = params_.certainty, acceptance = params_.accept;
    const int32_t ps = step_ == 1 ? 0 : int32_t(s.even.size() / std::size_t(th));
    for (int32_t v = 0; v < ny; ++v) {
        addRow(v + m.mh - 1);
        for (int32_t u = 0; u < tw; ++u) {
            s.q1[std::size_t(u) + 2] = s.s1[std::size_t(u)] + s.q1[std::size_t(u + 2 - step_)];
            s.q2[std::size_t(u) + 2] = s.s2[std::size_t(u)] + s.q2[std::size_t(u + 2 - step_)];
        }
        if (step_ == 1) {
            kernel_(s.patch.data() + std::size_t(v) * std::size_t(stride), stride, m.coef.data(),
                    m.mh, m.taps, nx, s.cross.data());
        } else {
            const std::size_t off = std::size_t(v) * std::size_t(ps);
            kernel_(s.odd.data() + off, ps, m.coef.data(), m.mh, m.taps, (nx + 1) / 2,
                    s.cross.data());
            kernel_(s.even.data() + off + 1, ps, m.coef.data(), m.mh, m.taps, nx / 2,
                    s.crossOdd.data());
        }
        double* tableRow = s.table.data() + std::size_t(v) * std::size_t(cw);
        for (int32_t u = 0; u < nx; ++u) {
            const std::size_t lo = std::size_t(u) + 1, hi = std::size_t(u + m.lastTap) + 2;
            const double sx = double(s.q1[hi] - s.q1[lo]);
            const double sxx = double(s.q2[hi] - s.q2[lo]);
            const int64_t cross = step_ == 1 ? s.cross[std::size_t(u)]
                                  : (u & 1)  ? s.crossOdd[std::size_t(u >> 1)]
                                             : s.cross[std::size_t(u >> 1)];
            const double sxm = double(cross);
            double score = 0.0;
            const double vi = std::fabs(n * sxx - sx * sx);
            if (vi != 0.0) {
                const double d = n * sxm - sx * sm;
                if (d > 0.0) score = d * d / (vm * vi) * 100.0;
            }
            if (score >= certainty) return accept(L, bottom, score, xs + u + hwd, ys + v + hhd);
            if (score >= acceptance) tableRow[u] = score;
        }
        subtractRow(v);
    }

    suppressNonMaxima(s.table.data(), cw, tw, th, nx, ny);

    int32_t result = IM_OK;
    for (int32_t v = 0; v < ny; ++v) {
        for (int32_t u = 0; u < nx; ++u) {
            const double score = s.table[std::size_t(v) * std::size_t(cw) + std::size_t(u)];
            if (!(score > 0.0)) continue;
            double cx = xs + u + hwd, cy = ys + v + hhd;
            if (L > bottom) {
                result =
                    searchLevel(L - 1, bottom, refinementArea(cx, cy, image_.level(L - 1)->search));
            } else {
                project(L, cx, cy);
                hits_.add(score, cx, cy);
            }
        }
    }
    return result;
}

int32_t execute(Buffer& model, Buffer& image, const Params& params, ImPatResult* results,
                int capacity, CrossRowFn kernel) {
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
    Matcher matcher(modelPyramid, imagePyramid, params, hits, kernel);
    const Area& a = imagePyramid.level(top)->search;
    code = matcher.searchLevel(top, bottom,
                               Rect{int32_t(a.x), int32_t(a.y), int32_t(a.w), int32_t(a.h)});
    if (code != IM_OK) return code;
    for (int i = 0; i < hits.size(); ++i)
        results[i] = hits[i];
    return hits.size();
}

} // namespace qxm::imlib

#include "tracking/Tracker.h"

#include "tracking/Codes.h"
#include "tracking/FramePair.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <utility>

namespace qxm::track {
namespace {

int32_t sat32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// trunc of a double into 64 bits, saturating (the values here are coordinates, far inside).
int64_t trunc64(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return int64_t(v);
}

Rect makeRect(int64_t l, int64_t t, int64_t r, int64_t b) {
    return Rect{sat32(l), sat32(t), sat32(r), sat32(b)};
}

// Frees the image library's model and result array on every way out of a matching step.
struct StepResources {
    ImBufHandle model = -1;
    ImPatResult* results = nullptr;
    ~StepResources() {
        if (model != -1) ImPatFreeModel(model);
        if (results) ImPatFreeResult(results);
    }
};

constexpr int32_t kHits = IM_RESULT_MAX;
constexpr double kSplitAcceptance = 10.0;

} // namespace

Rect normalised(Rect r) {
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    return r;
}

Rect rectOf(const SetAutoAnchorRecord& r) {
    return Rect{r.left, r.top, r.right, r.bottom};
}

Rect modelRect(const Rect& a, double ratioPercent, int32_t frameW, int32_t frameH) {
    const double q = ratioPercent * 0.01;
    const int64_t w = a.width(), h = a.height();
    const int64_t mw = trunc64(q * double(w)), mh = trunc64(q * double(h));
    int64_t left = a.left + (w - mw) / 2, top = a.top + (h - mh) / 2;
    int64_t right = left + mw, bottom = top + mh;
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    right = std::min<int64_t>(right, int64_t(frameW) - 1);
    bottom = std::min<int64_t>(bottom, int64_t(frameH) - 1);
    return makeRect(left, top, right, bottom);
}

Rect minimumModel(const Rect& r, int32_t frameW, int32_t frameH) {
    // Rectangles count right - left; the model the library gets is one pixel wider.
    constexpr int64_t kMin = IM_MODEL_MIN - 1;
    auto widen = [](int64_t& lo, int64_t& hi, double c, int32_t size) {
        lo = trunc64(std::ceil(c - kMin / 2.0));
        if (lo < 0)
            lo = 0;
        else if (lo + kMin >= size)
            lo = int64_t(size) - (IM_MODEL_MIN + 1);
        hi = lo + kMin;
    };
    int64_t l = r.left, t = r.top, rr = r.right, b = r.bottom;
    if (r.width() < kMin) widen(l, rr, r.cx(), frameW);
    if (r.height() < kMin) widen(t, b, r.cy(), frameH);
    return makeRect(l, t, rr, b);
}

Rect resizedAround(const Rect& r, int64_t newW, int64_t newH) {
    const int64_t left = trunc64(r.cx()) - newW / 2, top = trunc64(r.cy()) - newH / 2;
    return makeRect(left, top, left + newW, top + newH);
}

double overlapPercent(const Rect& ref, const Rect& other) {
    const int64_t l = std::max(ref.left, other.left), r = std::min(ref.right, other.right);
    const int64_t t = std::max(ref.top, other.top), b = std::min(ref.bottom, other.bottom);
    if (l >= r || t >= b) return 0.0;
    const double inter = double((r - l) * (b - t));
    const double area = double(ref.width() * ref.height());
    return inter / area * 100;
}

int32_t rating(double overlap, double good, double noGood) {
    if (overlap >= good) return 0;
    if (overlap >= noGood) return 1;
    return 2;
}

int32_t chooseHit(const ImPatResult* hits, int32_t n, const Area& area, double cx, double cy,
                  double scoreTh, double accept) {
    int32_t best = -1;
    for (int32_t i = 0; i < n; ++i)
        if (area.contains(hits[i].x, hits[i].y)) {
            best = i;
            break;
        }
    if (best < 0) return -1;
    const double bound = std::max(hits[best].score - scoreTh, accept);
    int32_t chosen = best;
    double nearest = 0;
    for (int32_t i = best; i < n && hits[i].score >= bound; ++i) {
        const double dx = hits[i].x - cx, dy = hits[i].y - cy;
        const double dist = std::sqrt(dx * dx + dy * dy);
        if (i == best || dist < nearest) {
            chosen = i;
            nearest = dist;
        }
    }
    return chosen;
}

Rect placeHit(const ImPatResult& hit, int64_t w, int64_t h, int32_t frameW, int32_t frameH,
              int32_t& code) {
    int64_t left = trunc64(std::round(hit.x - double(w) * 0.5));
    int64_t top = trunc64(std::round(hit.y - double(h) * 0.5));
    int64_t right = left + w, bottom = top + h;
    code = 0;
    if (left < 0) left = 0, code = kStepClipped;
    if (top < 0) top = 0, code = kStepClipped;
    if (right >= frameW) right = int64_t(frameW) - 1, code = kStepClipped;
    if (bottom >= frameH) bottom = int64_t(frameH) - 1, code = kStepClipped;
    return makeRect(left, top, right, bottom);
}

bool Track::append(int32_t frame, const Rect& r) {
    if (count >= capacity) return false;
    records[count++] = SetAutoAnchorRecord{frame, r.left, r.top, r.right, r.bottom};
    return true;
}

std::vector<bool> thinningMarks(const SetAutoAnchorRecord* rec, int64_t n, double tolerance) {
    std::vector<bool> marks(std::size_t(std::max<int64_t>(n, 0)), false);
    if (n <= 0) return marks;
    std::vector<std::pair<int64_t, int64_t>> pending;
    pending.emplace_back(0, n - 1);
    while (!pending.empty()) {
        auto [i, j] = pending.back();
        pending.pop_back();
        marks[std::size_t(i)] = marks[std::size_t(j)] = true;
        if (j - i <= 1) continue;
        const Rect P = rectOf(rec[i]), Q = rectOf(rec[j]);
        const double px = P.cx(), py = P.cy(), qx = Q.cx(), qy = Q.cy();
        int64_t f = -1;
        double largest = 0;
        for (int64_t k = i + 1; k < j; ++k) {
            const double ex = px + (qx - px) * double(k - i) / double(j - i);
            const double ey = py + (qy - py) * double(k - i) / double(j - i);
            const Rect K = rectOf(rec[k]);
            const double dx = K.cx() - ex, dy = K.cy() - ey;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d > tolerance && (f < 0 || d > largest)) {
                f = k;
                largest = d;
            }
        }
        if (f >= 0) {
            // Same marks as marking (i, f) and then (f, j) depth first.
            pending.emplace_back(f, j);
            pending.emplace_back(i, f);
        }
    }
    return marks;
}

int32_t thin(Track& t, double tolerance) {
    std::vector<bool> marks;
    try {
        marks = thinningMarks(t.records, t.count, tolerance);
    } catch (const std::bad_alloc&) {
        return kNoThinningMemory;
    }
    int64_t kept = 0;
    for (int64_t i = 0; i < t.count; ++i)
        if (marks[std::size_t(i)]) t.records[kept++] = t.records[i];
    t.count = kept;
    return 0;
}

void interpolateSizes(Track& t) {
    if (t.count < 3) return;
    const SetAutoAnchorRecord& first = t.records[0];
    const SetAutoAnchorRecord& last = t.records[t.count - 1];
    const int64_t wA = rectOf(first).width(), hA = rectOf(first).height();
    const int64_t wB = rectOf(last).width(), hB = rectOf(last).height();
    const double span = double(int64_t(last.frame) - first.frame);
    for (int64_t i = 1; i + 1 < t.count; ++i) {
        SetAutoAnchorRecord& r = t.records[i];
        const double f = span != 0 ? double(int64_t(r.frame) - first.frame) / span : 0.0;
        const int64_t w = trunc64(f * double(wB - wA) + double(wA));
        const int64_t h = trunc64(f * double(hB - hA) + double(hA));
        const Rect n = resizedAround(rectOf(r), w, h);
        r = SetAutoAnchorRecord{r.frame, n.left, n.top, n.right, n.bottom};
    }
}

void splice(Track& f, const Track& b) {
    if (b.count <= 1) return;
    const int32_t v = b.records[b.count - 1].frame;
    int64_t keep = f.count;
    while (keep > 0 && f.records[keep - 1].frame >= v)
        --keep;
    if (keep == 0) return;
    f.count = keep;
    for (int64_t i = b.count - 1; i >= 0; --i)
        f.records[f.count++] = b.records[i];
}

Tracker::Tracker(const Params& p, FramePair& frames, int32_t frameW, int32_t frameH)
    : p_(p), frames_(frames), W_(frameW), H_(frameH), sw_(p.searchWidth), sh_(p.searchHeight),
      accept_(p.acceptanceThreshold) {}

Area Tracker::searchArea(double cx, double cy) const {
    if (p_.searchAll) return Area{0, 0, int64_t(W_) - 1, int64_t(H_) - 1};
    Area a;
    a.left = std::max<int64_t>(trunc64(std::ceil(cx - double(sw_))), 0);
    a.top = std::max<int64_t>(trunc64(std::ceil(cy - double(sh_))), 0);
    a.right = std::min<int64_t>(trunc64(cx) + sw_, int64_t(W_) - 1);
    a.bottom = std::min<int64_t>(trunc64(cy) + sh_, int64_t(H_) - 1);
    return a;
}

int32_t Tracker::matchStep(const Rect& r, Rect& out) {
    const Rect q = minimumModel(r, W_, H_);
    const int64_t w = q.width(), h = q.height();
    const double cx = q.cx(), cy = q.cy();
    const Area area = searchArea(cx, cy);

    StepResources res;
    if (ImPatAllocModel(frames_.bufferA(), &res.model, q.left, q.top, sat32(w + 1), sat32(h + 1)) !=
        IM_OK) {
        res.model = -1;
        return kImageLibrary;
    }
    if (ImPatAllocResult(&res.results, kHits) != IM_OK) {
        res.results = nullptr;
        return kImageLibrary;
    }
    // A refused setting would leave the one of the step before in force: the step fails
    // instead of searching with it.
    if (ImPatSetAccept(accept_) != IM_OK) return kImageLibrary;
    // Cannot fail: the flag is stored as given and returned.
    ImPatUseSecondPixel(p_.useSecondPixel ? 1 : 0);
    if (ImPatSetSearchLevel(p_.firstLevel, p_.lastLevel) != IM_OK) return kImageLibrary;
    if (ImPatSetSearchArea(frames_.bufferB(), sat32(area.left), sat32(area.top),
                           sat32(area.right - area.left + 1),
                           sat32(area.bottom - area.top + 1)) != IM_OK)
        return kImageLibrary;
    const int32_t n = ImPatExecute(res.model, frames_.bufferB(), res.results);
    if (n < 0) return kImageLibrary;

    out = r;
    const int32_t chosen =
        chooseHit(res.results, std::min(n, kHits), area, cx, cy, p_.scoreTh, accept_);
    if (chosen < 0) return kStepNoMatch;
    int32_t code = 0;
    out = placeHit(res.results[chosen], w, h, W_, H_, code);
    return code;
}

int32_t Tracker::trackStep(int32_t a, int32_t b, const Rect& r, Track& t, Rect& out) {
    if (int32_t c = frames_.load(a, b)) return c;
    const int64_t d = std::abs(int64_t(b) - a);
    sw_ = trunc64(std::ceil(sw1_ * double(d)));
    sh_ = trunc64(std::ceil(sh1_ * double(d)));
    Rect found;
    const int32_t code = matchStep(r, found);
    if (code == kImageLibrary) return code;
    if (code != kStepNoMatch || d <= 1) {
        if (!t.append(b, found)) return kNoResultMemory;
        out = found;
        return code;
    }
    if (d == p_.frameStep) accept_ = kSplitAcceptance;
    const int32_t m = sat32(a + trunc64(std::ceil(double(int64_t(b) - a) * 0.5)));
    Rect atM;
    const int32_t first = trackStep(a, m, r, t, atM);
    if (first <= kImageLibrary) return first;
    return trackStep(m, b, atM, t, out);
}

int32_t Tracker::walkStep(int32_t p, int32_t d, Rect& m, Track& t) {
    Rect found;
    const int32_t c = trackStep(p, d, m, t, found);
    if (c <= kImageLibrary) {
        restoreAll();
        return c;
    }
    m = found;
    accept_ = savedAccept_;
    return c;
}

void Tracker::remember() {
    savedSw_ = sw_;
    savedSh_ = sh_;
    savedAccept_ = accept_;
    sw1_ = double(p_.searchWidth) / double(p_.frameStep);
    sh1_ = double(p_.searchHeight) / double(p_.frameStep);
}

void Tracker::restoreAll() {
    sw_ = savedSw_;
    sh_ = savedSh_;
    accept_ = savedAccept_;
}

int32_t Tracker::forward(int32_t s, int32_t e, const Rect& S, const Rect& E, Track& f) {
    remember();
    f.count = 0;
    if (!f.append(s, S)) return kNoResultMemory;
    if (s >= e) return 0;

    const int64_t step = p_.frameStep;
    Rect m = modelRect(S, p_.modelRatio, W_, H_);
    int32_t p = s;
    int32_t d = int32_t(std::min<int64_t>(int64_t(s) + step, e));
    if (int32_t c = frames_.load(s, d, true)) {
        restoreAll();
        return c;
    }
    while (d != p) {
        if (int32_t c = walkStep(p, d, m, f); c <= kImageLibrary) return c;
        p = d;
        d = int32_t(std::min<int64_t>(int64_t(d) + step, e));
    }
    sw_ = savedSw_;
    sh_ = savedSh_;

    SetAutoAnchorRecord& last = f.last();
    const Rect t = resizedAround(rectOf(last), E.width(), E.height());
    const int32_t rate = rating(overlapPercent(E, t), p_.resultGood, p_.resultNoGood);
    last = SetAutoAnchorRecord{e, E.left, E.top, E.right, E.bottom};
    return rate;
}

int32_t Tracker::backward(const Track& f, Track& b) {
    b.count = 0;
    if (f.count <= 1) return 0;
    const int32_t s = f.records[0].frame, e = f.records[f.count - 1].frame;
    const Rect E = normalised(rectOf(f.records[f.count - 1]));
    Rect m = modelRect(E, p_.modelRatio, W_, H_);
    remember();
    if (!b.append(e, E)) return kNoResultMemory;
    if (s >= e) return 0;

    const int64_t step = p_.frameStep;
    const int64_t rem = (int64_t(e) - s) % step;
    int32_t h = sat32(rem == 0 ? int64_t(e) - step : int64_t(e) - rem);
    if (int32_t c = frames_.load(e, h, true)) {
        restoreAll();
        return c;
    }
    const int64_t limit = int64_t(e) - trunc64(p_.backwardSearch * 0.01 * double(int64_t(e) - s));
    int64_t pos = f.count - 1; // where the look-up of forward records continues
    if (h >= limit) {
        int32_t p = e;
        while (p != h) {
            if (int32_t c = walkStep(p, h, m, b); c <= kImageLibrary) return c;
            while (pos >= 0 && f.records[pos].frame > h)
                --pos;
            if (pos >= 0 && f.records[pos].frame == h) {
                const Rect fr = rectOf(f.records[pos]);
                SetAutoAnchorRecord& bl = b.last();
                const Rect resized = resizedAround(rectOf(bl), fr.width(), fr.height());
                bl = SetAutoAnchorRecord{bl.frame, resized.left, resized.top, resized.right,
                                         resized.bottom};
                if (rating(overlapPercent(fr, resized), p_.resultGood, p_.resultNoGood) == 0) break;
            }
            const int32_t next = std::max(sat32(int64_t(h) - step), s);
            if (next < limit) break;
            p = h;
            h = next;
        }
    }
    sw_ = savedSw_;
    sh_ = savedSh_;
    return 0;
}

int32_t Tracker::run(int32_t s, int32_t e, const Rect& S, const Rect& E, Track& f, Track& b) {
    const int32_t rate = forward(s, e, S, E, f);
    if (rate < 0) return rate;
    if (rate != 0) {
        if (int32_t c = backward(f, b)) return c;
        splice(f, b);
    }
    if (p_.delMidle)
        if (int32_t c = thin(f, p_.acceptableDistance)) return c;
    interpolateSizes(f);
    return rate;
}

} // namespace qxm::track

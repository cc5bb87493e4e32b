#include "Reference.h"

#include <algorithm>
#include <cmath>
#include <list>

namespace qxm::imref {

namespace {

// A level buffer: full size, search area and working region.
struct Level {
    Image img;
    int rx = 0, ry = 0, rw = 0, rh = 0;
};

struct ResultList {
    std::list<ImPatResult> records;
    double highest = 0, lowest = 0;

    void add(double score, double x, double y) {
        const ImPatResult rec{score, x, y};
        if (records.empty()) {
            records.push_back(rec);
            highest = lowest = score;
        } else if (score > highest) {
            records.push_front(rec);
            highest = score;
        } else if (score < lowest) {
            records.push_back(rec);
            lowest = score;
        } else {
            auto it = records.begin();
            while (it != records.end() && !(it->score < score))
                ++it;
            records.insert(it, rec);
        }
    }
};

std::vector<Level> buildPyramid(const Image& base, int x, int y, int w, int h, int levels) {
    std::vector<Level> pyr;
    pyr.push_back(Level{base, x, y, w, h});
    for (int k = 1; k <= levels; ++k) {
        const Level& p = pyr.back();
        Level n;
        n.img = Image((p.img.width + 1) / 2, (p.img.height + 1) / 2);
        n.img.sx = p.img.sx / 2;
        n.img.sy = p.img.sy / 2;
        n.img.sw = (p.img.sx + p.img.sw - 1) / 2 - p.img.sx / 2 + 1;
        n.img.sh = (p.img.sy + p.img.sh - 1) / 2 - p.img.sy / 2 + 1;
        n.rx = p.rx / 2;
        n.ry = p.ry / 2;
        n.rw = (p.rx + p.rw - 1) / 2 - p.rx / 2 + 1;
        n.rh = (p.ry + p.rh - 1) / 2 - p.ry / 2 + 1;
        const Image& P = p.img;
        const int xEnd = p.rx + p.rw - 1, yEnd = p.ry + p.rh - 1;
        auto mean = [&](int r, int c) {
            return uint8_t((P.at(c, r) + P.at(c + 1, r) + P.at(c, r + 1) + P.at(c + 1, r + 1)) >>
                           2);
        };
        int j = 0;
        for (int r = p.ry; r < yEnd; r += 2, ++j) {
            int i = 0;
            for (int c = p.rx; c < xEnd; c += 2, ++i)
                n.img.at(p.rx / 2 + i, p.ry / 2 + j) = mean(r, c);
            if (p.rw % 2 == 1) n.img.at(p.rx / 2 + i, p.ry / 2 + j) = mean(r, xEnd - 1);
        }
        if (p.rh % 2 == 1) {
            int i = 0;
            for (int c = p.rx; c < xEnd; c += 2, ++i)
                n.img.at(p.rx / 2 + i, p.ry / 2 + j) = mean(yEnd - 1, c);
            if (p.rw % 2 == 1) n.img.at(p.rx / 2 + i, p.ry / 2 + j) = mean(yEnd - 1, xEnd - 1);
        }
        pyr.push_back(std::move(n));
    }
    return pyr;
}

struct Area {
    int x, y, w, h;
};

Area refinement(double cx, double cy, const Image& lower) {
    int x0 = int(std::trunc(2 * cx - 1.5));
    int x1 = int(std::trunc(std::ceil(2 * cx + 2.5)));
    int y0 = int(std::trunc(2 * cy - 1.5));
    int y1 = int(std::trunc(std::ceil(2 * cy + 2.5)));
    x0 = std::max(x0, lower.sx);
    x1 = std::min(x1, lower.sx + lower.sw - 1);
    y0 = std::max(y0, lower.sy);
    y1 = std::min(y1, lower.sy + lower.sh - 1);
    return Area{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

class Search {
public:
    Search(const std::vector<Level>& m, const std::vector<Level>& i, const Params& p,
           ResultList& list)
        : mp(m), ip(i), params(p), results(list) {}

    int level(int L, int bottom, Area a) {
        const Image& M = mp[L].img;
        const Image& I = ip[L].img;
        const int mw = M.width, mh = M.height, W = I.width, H = I.height;
        const double hwd = (mw - 1) / 2.0, hhd = (mh - 1) / 2.0;
        const int hw = int(std::trunc(hwd)), hh = int(std::trunc(hhd));
        const int xs = a.x - hw, ys = a.y - hh;
        const int xe = a.x + a.w - 1 + hw, ye = a.y + a.h - 1 + hh;
        const int xa = std::max(xs, 0), ya = std::max(ys, 0);
        const int xb = std::min(xe, W - 1), yb = std::min(ye, H - 1);
        const int tw = xe - xs + 1, th = ye - ys + 1;
        if (tw <= 0 || th <= 0) return 0;
        std::vector<double> table(std::size_t(tw) * th, 0.0);
        auto T = [&](int x, int y) -> double& {
            return table[std::size_t(y - ys) * tw + (x - xs)];
        };

        const int step = params.secondPixel ? 2 : 1;
        double Sm = 0, Smm = 0;
        for (int r = 0; r < mh; ++r)
            for (int k = step - 1; k < mw; k += step) {
                Sm += M.at(k, r);
                Smm += double(M.at(k, r)) * M.at(k, r);
            }
        const double N = double(mw * mh);
        const double VM = std::fabs(N * Smm - Sm * Sm);

        for (int y = ys; y + mh - 1 <= ye; ++y) {
            for (int x = xs; x + mw - 1 <= xe; ++x) {
                double Sx = 0, Sxx = 0, Sxm = 0;
                for (int r = 0; r < mh; ++r) {
                    const int iy = y + r;
                    if (iy < ya || iy > yb) continue;
                    // Window sums: all columns, or those at x + 1, x + 3, ...
                    for (int c = (step == 1 ? x : x + 1); c <= x + mw - 1; c += step) {
                        if (c < xa || c > xb) continue;
                        Sx += I.at(c, iy);
                        Sxx += double(I.at(c, iy)) * I.at(c, iy);
                    }
                    for (int k = step - 1; k < mw; k += step) {
                        if (x + k < xa || x + k > xb) continue;
                        Sxm += double(I.at(x + k, iy)) * M.at(k, r);
                    }
                }
                double score;
                if (VM == 0) {
                    score = 0;
                } else {
                    const double VI = std::fabs(N * Sxx - Sx * Sx);
                    if (VI == 0) {
                        score = 0;
                    } else {
                        const double D = N * Sxm - Sx * Sm;
                        score = D > 0 ? D * D / (VM * VI) * 100 : 0;
                    }
                }
                if (score >= params.certainty) {
                    const double cx = x + hwd, cy = y + hhd;
                    if (L > bottom) return level(L - 1, bottom, refinement(cx, cy, ip[L - 1].img));
                    double px = cx, py = cy;
                    project(L, px, py);
                    results.add(score, px, py);
                    return 0;
                }
                if (score >= params.accept) T(x, y) = score;
            }
        }

        // Non-maximum suppression over the whole table.
        const int kw = std::min(tw, 3), kh = std::min(th, 3);
        for (int ay = ys; ay <= ys + th - kh; ++ay) {
            for (int ax = xs; ax <= xs + tw - kw; ++ax) {
                int bx = ax, by = ay;
                for (int cy = ay; cy < ay + kh; ++cy) {
                    for (int cx = (cy == ay ? ax + 1 : ax); cx < ax + kw; ++cx) {
                        if (T(bx, by) >= T(cx, cy)) {
                            T(cx, cy) = 0;
                        } else {
                            T(bx, by) = 0;
                            bx = cx;
                            by = cy;
                        }
                    }
                }
            }
        }

        int result = 0;
        for (int y = ys; y <= ye; ++y) {
            for (int x = xs; x <= xe; ++x) {
                if (!(T(x, y) > 0)) continue;
                const double cx = x + hwd, cy = y + hhd;
                if (L > bottom) {
                    result = level(L - 1, bottom, refinement(cx, cy, ip[L - 1].img));
                } else {
                    double px = cx, py = cy;
                    project(L, px, py);
                    results.add(T(x, y), px, py);
                }
            }
        }
        return result;
    }

private:
    void project(int n, double& cx, double& cy) const {
        if (n == 0) return;
        const Area a = refinement(cx, cy, ip[n - 1].img);
        double ax = a.x, ay = a.y, bx = a.x + a.w - 1, by = a.y + a.h - 1;
        for (int k = n - 1; k >= 1; --k) {
            const Area tl = refinement(ax, ay, ip[k - 1].img);
            const Area br = refinement(bx, by, ip[k - 1].img);
            ax = tl.x;
            ay = tl.y;
            bx = br.x + br.w - 1;
            by = br.y + br.h - 1;
        }
        cx = ax + (bx - ax) * 0.5;
        cy = ay + (by - ay) * 0.5;
    }

    const std::vector<Level>& mp;
    const std::vector<Level>& ip;
    const Params& params;
    ResultList& results;
};

} // namespace

int pyramidDepth(int mw, int mh, int rw, int rh) {
    int depth = 0;
    while (true) {
        mw = int(std::ceil(mw / 2.0));
        if (mw < 4) break;
        mh = int(std::ceil(mh / 2.0));
        if (mh < 4) break;
        rw = int(std::ceil(rw / 2.0));
        if (rw < 8) break;
        rh = int(std::ceil(rh / 2.0));
        if (rh < 8) break;
        depth = depth + 1;
        if (depth == 7) break;
    }
    return depth;
}

bool rectInside(int W, int H, int32_t x, int32_t y, int32_t w, int32_t h) {
    const uint32_t ux = uint32_t(x), uy = uint32_t(y), uw = uint32_t(w), uh = uint32_t(h);
    const uint32_t UW = uint32_t(W), UH = uint32_t(H);
    // x + w <= W without forming the sum: w <= W - x once x <= W.
    return uw >= 1 && uh >= 1 && ux <= UW && uw <= UW - ux && uy <= UH && uh <= UH - uy;
}

Outcome execute(const Image& model, const Image& image, const Params& params, int capacity) {
    const int mw = model.width, mh = model.height, W = image.width, H = image.height;
    const int hw = int(std::trunc((mw - 1) / 2.0)), hh = int(std::trunc((mh - 1) / 2.0));
    const int x0 = std::max(image.sx - hw, 0), y0 = std::max(image.sy - hh, 0);
    const int x1 = std::min(image.sx + image.sw - 1 + hw, W - 1);
    const int y1 = std::min(image.sy + image.sh - 1 + hh, H - 1);
    const int RW = x1 - x0 + 1, RH = y1 - y0 + 1;
    const int depth = pyramidDepth(mw, mh, RW, RH);
    const int top = std::min(depth, params.firstLevel);
    const int bottom = std::min(params.lastLevel, top);

    Image m = model;
    m.sx = 0;
    m.sy = 0;
    m.sw = mw;
    m.sh = mh;
    const auto mp = buildPyramid(m, 0, 0, mw, mh, top);
    const auto ip = buildPyramid(image, x0, y0, RW, RH, top);
    ResultList list;
    Search search(mp, ip, params, list);
    const Image& t = ip[top].img;
    Outcome out;
    out.code = search.level(top, bottom, Area{t.sx, t.sy, t.sw, t.sh});
    if (out.code == 0) {
        for (const ImPatResult& r : list.records) {
            if (int(out.hits.size()) == capacity) break;
            out.hits.push_back(r);
        }
        out.code = int(out.hits.size());
    }
    return out;
}

Image makeContent(int width, int height, Content kind, std::mt19937& rng) {
    Image img(width, height);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto clampByte = [](double v) { return uint8_t(std::clamp(v, 0.0, 255.0)); };
    switch (kind) {
    case Content::Gradient: {
        const double gx = unit(rng) * 4 - 2, gy = unit(rng) * 4 - 2, base = unit(rng) * 255;
        const double bend = unit(rng) * 0.01;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                img.at(x, y) = clampByte(base + gx * x + gy * y +
                                         bend * (x - width / 2.0) * (y - height / 2.0));
        break;
    }
    case Content::Blobs: {
        std::vector<double> acc(img.pixels.size(), unit(rng) * 80);
        const int count = 4 + int(unit(rng) * 20);
        for (int b = 0; b < count; ++b) {
            const double cx = unit(rng) * width, cy = unit(rng) * height;
            const double r = 3 + unit(rng) * std::max(width, height) / 6.0;
            const double amp = unit(rng) * 300 - 100;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const double d2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (r * r);
                    acc[std::size_t(y) * width + x] += amp * std::exp(-d2);
                }
        }
        for (std::size_t i = 0; i < acc.size(); ++i)
            img.pixels[i] = clampByte(acc[i]);
        break;
    }
    case Content::Noise:
        for (auto& p : img.pixels)
            p = uint8_t(byte(rng));
        break;
    case Content::Pattern: {
        const int px = 3 + int(unit(rng) * 20), py = 3 + int(unit(rng) * 20);
        std::vector<uint8_t> tile(std::size_t(px) * py);
        for (auto& t : tile)
            t = uint8_t(byte(rng));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                img.at(x, y) = tile[std::size_t(y % py) * px + x % px];
        break;
    }
    case Content::Mixed: {
        const Image g = makeContent(width, height, Content::Gradient, rng);
        const Image b = makeContent(width, height, Content::Blobs, rng);
        std::uniform_int_distribution<int> noise(-12, 12);
        for (std::size_t i = 0; i < img.pixels.size(); ++i)
            img.pixels[i] = clampByte((g.pixels[i] + b.pixels[i]) / 2.0 + noise(rng));
        break;
    }
    }
    return img;
}

Image shiftedNoisyCopy(const Image& src, int dx, int dy, int amp, std::mt19937& rng) {
    Image out(src.width, src.height);
    std::uniform_int_distribution<int> noise(-amp, amp);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const int sx = std::clamp(x - dx, 0, src.width - 1);
            const int sy = std::clamp(y - dy, 0, src.height - 1);
            out.at(x, y) = uint8_t(std::clamp(src.at(sx, sy) + noise(rng), 0, 255));
        }
    return out;
}

Image cut(const Image& src, int x, int y, int w, int h) {
    Image out(w, h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            out.at(c, r) = src.at(x + c, y + r);
    return out;
}

} // namespace qxm::imref

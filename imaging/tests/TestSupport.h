// Small helpers shared by the image library tests: buffers and result arrays that free
// themselves, and loading reference images into the library.
#pragma once

#include "Reference.h"
#include "qxmimlib.h"

#include <gtest/gtest.h>

namespace qxm::imtest {

class Buf {
public:
    Buf(int w, int h) { EXPECT_EQ(ImBufAlloc(w, h, 8, &h_), IM_OK); }
    explicit Buf(const imref::Image& img) : Buf(img.width, img.height) {
        EXPECT_EQ(ImBufPut(h_, 0, 0, img.width, img.height, img.pixels.data()), IM_OK);
        EXPECT_EQ(ImPatSetSearchArea(h_, img.sx, img.sy, img.sw, img.sh), IM_OK);
    }
    ~Buf() { ImBufFree(h_); }
    Buf(const Buf&) = delete;
    Buf& operator=(const Buf&) = delete;
    ImBufHandle get() const { return h_; }

private:
    ImBufHandle h_ = 0;
};

class Results {
public:
    explicit Results(int n) : n_(n) { EXPECT_EQ(ImPatAllocResult(&r_, n), IM_OK); }
    ~Results() { ImPatFreeResult(r_); }
    Results(const Results&) = delete;
    Results& operator=(const Results&) = delete;
    ImPatResult* get() const { return r_; }
    ImPatResult& operator[](int i) const { return r_[i]; }
    int size() const { return n_; }

private:
    ImPatResult* r_ = nullptr;
    int n_;
};

// Puts the library's parameters in the given state (and back to the defaults on request).
inline void applyParams(const imref::Params& p) {
    ASSERT_EQ(ImPatSetAccept(p.accept), IM_OK);
    ImPatUseSecondPixel(p.secondPixel);
    ASSERT_EQ(ImPatSetSearchLevel(p.firstLevel, p.lastLevel), IM_OK);
}

} // namespace qxm::imtest

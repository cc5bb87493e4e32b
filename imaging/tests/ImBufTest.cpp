// Buffer operations through the exported functions, with the pixels checked in the registry.
#include "ImBuf.h"
#include "qxmimlib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

using qxm::imlib::library;

const qxm::imlib::Buffer& buf(ImBufHandle h) {
    return *library().buffers.find(h);
}

ImBufHandle alloc(int w, int h, uint8_t fill) {
    ImBufHandle handle = 0;
    EXPECT_EQ(ImBufAlloc(w, h, 8, &handle), IM_OK);
    std::vector<uint8_t> px(std::size_t(w) * h, fill);
    EXPECT_EQ(ImBufPut(handle, -1, -1, -1, -1, px.data()), IM_OK);
    return handle;
}

// Pixels 0, 1, 2, ... (mod 256) row by row.
ImBufHandle allocRamp(int w, int h) {
    ImBufHandle handle = alloc(w, h, 0);
    std::vector<uint8_t> px(std::size_t(w) * h);
    std::iota(px.begin(), px.end(), uint8_t(0));
    EXPECT_EQ(ImBufPut(handle, 0, 0, w, h, px.data()), IM_OK);
    return handle;
}

TEST(ImBufAlloc, ChecksSizeBeforeDepthAndSetsTheRecord) {
    ImBufHandle h = 0;
    ASSERT_EQ(ImBufAlloc(1024, 1024, 8, &h), IM_OK);
    EXPECT_NE(h, 0);
    EXPECT_NE(h, -1);
    EXPECT_EQ(buf(h).search.w, 1024u);
    EXPECT_EQ(buf(h).search.h, 1024u);
    EXPECT_EQ(buf(h).work.w, 0);
    EXPECT_EQ(ImBufFree(h), 1);

    const std::size_t before = library().buffers.count();
    EXPECT_EQ(ImBufAlloc(1025, 1, 8, &h), IM_ERR_SIZE);
    EXPECT_EQ(ImBufAlloc(0, 5, 8, &h), IM_ERR_SIZE);
    EXPECT_EQ(ImBufAlloc(5, -1, 8, &h), IM_ERR_SIZE);
    EXPECT_EQ(ImBufAlloc(10, 10, 24, &h), IM_ERR_DEPTH);
    EXPECT_EQ(ImBufAlloc(0, 5, 24, &h), IM_ERR_SIZE);
    EXPECT_EQ(ImBufAlloc(10, 10, 8, nullptr), IM_ERR_PARAM);
    EXPECT_EQ(library().buffers.count(), before);
}

TEST(ImBufAlloc, HandlesAreUniqueAmongLiveBuffers) {
    std::vector<ImBufHandle> handles;
    for (int i = 0; i < 50; ++i)
        handles.push_back(alloc(2, 2, 0));
    std::vector<ImBufHandle> sorted = handles;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    for (ImBufHandle h : handles)
        EXPECT_EQ(ImBufFree(h), 1);
}

TEST(ImBufFree, ReportsWhetherTheHandleWasLive) {
    const ImBufHandle h = alloc(4, 4, 0);
    EXPECT_EQ(ImBufFree(h), 1);
    EXPECT_EQ(ImBufFree(h), 0);
    EXPECT_EQ(ImBufFree(0), 0);
    EXPECT_EQ(ImPatFreeModel(h), 0);
}

TEST(ImBufCopy, SameHandleIsANoOpEvenWhenUnknown) {
    const ImBufHandle h = alloc(4, 4, 7);
    EXPECT_EQ(ImBufCopy(h, h, 100, 100, 0, 0), IM_OK);
    EXPECT_EQ(buf(h).pixels[0], 7);
    EXPECT_EQ(ImBufCopy(123456, 123456, 0, 0, 1, 1), IM_OK);
    ImBufFree(h);
}

TEST(ImBufCopy, SourceMinusOneClearsTheWholeDestination) {
    const ImBufHandle h = alloc(20, 12, 9);
    EXPECT_EQ(ImBufCopy(-1, h, 5, 5, 5, 5), IM_OK);
    for (std::size_t i = 0; i < buf(h).size(); ++i)
        ASSERT_EQ(buf(h).pixels[i], 0) << i;
    EXPECT_EQ(ImBufCopy(-1, 987654, 0, 0, 1, 1), IM_ERR_NOBUF);
    ImBufFree(h);
}

TEST(ImBufCopy, CopiesWhatFitsAndKeepsTheRest) {
    const ImBufHandle src = allocRamp(100, 100);
    const ImBufHandle dst = alloc(40, 30, 200);
    EXPECT_EQ(ImBufCopy(src, dst, -1, -1, -1, -1), IM_OK);
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            ASSERT_EQ(buf(dst).row(y)[x], buf(src).row(y)[x]) << x << "," << y;

    // A small rectangle lands at the top-left corner; the other pixels stay.
    const ImBufHandle small = alloc(10, 10, 200);
    EXPECT_EQ(ImBufCopy(src, small, 7, 3, 4, 2), IM_OK);
    EXPECT_EQ(buf(small).row(0)[0], buf(src).row(3)[7]);
    EXPECT_EQ(buf(small).row(1)[3], buf(src).row(4)[10]);
    EXPECT_EQ(buf(small).row(0)[4], 200);
    EXPECT_EQ(buf(small).row(2)[0], 200);
    ImBufFree(small);
    ImBufFree(dst);
    ImBufFree(src);
}

TEST(ImBufCopy, RejectsUnknownHandlesAndOutsideRectangles) {
    const ImBufHandle src = allocRamp(50, 40);
    const ImBufHandle dst = alloc(50, 40, 1);
    EXPECT_EQ(ImBufCopy(src, 777777, 0, 0, 1, 1), IM_ERR_NOBUF);
    EXPECT_EQ(ImBufCopy(777777, dst, 0, 0, 1, 1), IM_ERR_NOBUF);
    EXPECT_EQ(ImBufCopy(src, dst, 0, 0, 0, 5), IM_ERR_RECT);
    EXPECT_EQ(ImBufCopy(src, dst, 0, 0, 5, 0), IM_ERR_RECT);
    EXPECT_EQ(ImBufCopy(src, dst, 41, 0, 10, 1), IM_ERR_RECT);
    EXPECT_EQ(ImBufCopy(src, dst, -2, 0, 5, 5), IM_ERR_RECT);
    EXPECT_EQ(ImBufCopy(src, dst, 0, 0, int32_t(0xFFFFFFFE), 1), IM_ERR_RECT);
    EXPECT_EQ(ImBufCopy(src, dst, 1, 1, 2147483647, 1), IM_ERR_RECT);
    EXPECT_EQ(buf(dst).pixels[0], 1); // failures change nothing
    EXPECT_EQ(ImBufCopy(src, dst, 40, 30, 10, 10), IM_OK);
    EXPECT_EQ(buf(dst).row(0)[0], buf(src).row(30)[40]);
    ImBufFree(dst);
    ImBufFree(src);
}

TEST(ImBufPut, WritesPackedRowsInsideTheBuffer) {
    const ImBufHandle h = alloc(100, 10, 0);
    std::vector<uint8_t> data(40);
    std::iota(data.begin(), data.end(), uint8_t(1));
    EXPECT_EQ(ImBufPut(h, 90, 0, 20, 1, data.data()), IM_ERR_RECT);
    EXPECT_EQ(buf(h).row(0)[90], 0);
    EXPECT_EQ(ImBufPut(h, 80, 0, 20, 1, data.data()), IM_OK);
    EXPECT_EQ(buf(h).row(0)[79], 0);
    EXPECT_EQ(buf(h).row(0)[80], 1);
    EXPECT_EQ(buf(h).row(0)[99], 20);
    // Two rows of 20 bytes each go to consecutive rows.
    EXPECT_EQ(ImBufPut(h, 5, 3, 20, 2, data.data()), IM_OK);
    EXPECT_EQ(buf(h).row(3)[5], 1);
    EXPECT_EQ(buf(h).row(4)[5], 21);
    EXPECT_EQ(buf(h).row(4)[24], 40);
    EXPECT_EQ(buf(h).row(4)[25], 0);
    EXPECT_EQ(ImBufPut(h, 0, 0, 0, 1, data.data()), IM_ERR_RECT);
    EXPECT_EQ(ImBufPut(h, 0, 0, 1, 1, nullptr), IM_ERR_PARAM);
    EXPECT_EQ(ImBufPut(555555, 0, 0, 1, 1, data.data()), IM_ERR_NOBUF);
    ImBufFree(h);
}

TEST(ImPatAllocModel, ChecksInOrderAndCopiesTheRectangle) {
    const ImBufHandle src = allocRamp(64, 48);
    ImBufHandle model = 0;
    EXPECT_EQ(ImPatAllocModel(424242, &model, 0, 0, 10, 10), IM_ERR_NOBUF);
    EXPECT_EQ(ImPatAllocModel(src, &model, 0, 0, 23, 40), IM_ERR_MODELSIZE);
    EXPECT_EQ(ImPatAllocModel(src, &model, 0, 0, -1, -1), IM_ERR_MODELSIZE);
    EXPECT_EQ(ImPatAllocModel(src, &model, -1, 0, 24, 24), IM_ERR_RECT);
    EXPECT_EQ(ImPatAllocModel(src, &model, 41, 0, 24, 24), IM_ERR_RECT);
    EXPECT_EQ(ImPatAllocModel(src, nullptr, 0, 0, 24, 24), IM_ERR_PARAM);
    ASSERT_EQ(ImPatAllocModel(src, &model, 40, 24, 24, 24), IM_OK);
    EXPECT_EQ(buf(model).width, 24u);
    EXPECT_EQ(buf(model).row(0)[0], buf(src).row(24)[40]);
    EXPECT_EQ(buf(model).row(23)[23], buf(src).row(47)[63]);
    EXPECT_EQ(ImPatFreeModel(model), 1);
    EXPECT_EQ(ImPatFreeModel(model), 0);
    ImBufFree(src);
}

} // namespace

// Pattern matching through libqxmimlib.so: parameters, result arrays and the behaviour of
// ImPatExecute on pictures made for one property each.
#include "Reference.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

using qxm::imref::Image;
using qxm::imtest::Buf;
using qxm::imtest::Results;

class Pattern : public ::testing::Test {
protected:
    void SetUp() override { qxm::imtest::applyParams(qxm::imref::Params{}); }
    void TearDown() override { qxm::imtest::applyParams(qxm::imref::Params{}); }
};

// Low-contrast noise with a 24 x 24 texture stamped at the given places, each with its own
// noise amplitude (same seed per amplitude, so equal amplitudes give equal windows).
Image stamped(int w, int h, const Image& texture, const std::vector<std::array<int, 3>>& at) {
    std::mt19937 rng(99);
    Image img(w, h);
    for (auto& p : img.pixels)
        p = uint8_t(100 + rng() % 8);
    for (const auto& [x, y, amp] : at) {
        std::mt19937 noise{unsigned(amp)};
        for (int r = 0; r < texture.height; ++r)
            for (int c = 0; c < texture.width; ++c) {
                const int d = amp == 0 ? 0 : int(noise() % unsigned(2 * amp + 1)) - amp;
                img.at(x + c, y + r) = uint8_t(std::clamp(texture.at(c, r) + d, 0, 255));
            }
    }
    return img;
}

Image texture() {
    std::mt19937 rng(5);
    return qxm::imref::makeContent(24, 24, qxm::imref::Content::Noise, rng);
}

TEST_F(Pattern, ParameterRanges) {
    EXPECT_EQ(ImPatSetAccept(100.0), IM_OK);
    EXPECT_EQ(ImPatSetAccept(0.0), IM_OK);
    EXPECT_EQ(ImPatSetAccept(100.5), IM_ERR_PARAM);
    EXPECT_EQ(ImPatSetAccept(-0.1), IM_ERR_PARAM);
    EXPECT_EQ(ImPatSetAccept(std::nan("")), IM_ERR_PARAM);
    EXPECT_EQ(ImPatSetSearchLevel(7, 0), IM_OK);
    EXPECT_EQ(ImPatSetSearchLevel(0, 0), IM_OK);
    EXPECT_EQ(ImPatSetSearchLevel(2, 3), IM_ERR_PARAM);
    EXPECT_EQ(ImPatSetSearchLevel(8, 0), IM_ERR_PARAM);
    EXPECT_EQ(ImPatSetSearchLevel(3, -1), IM_ERR_PARAM);
    EXPECT_EQ(ImPatUseSecondPixel(5), 5);
    EXPECT_EQ(ImPatUseSecondPixel(0), 0);
}

TEST_F(Pattern, RejectedParametersKeepTheOldValues) {
    // Acceptance 90 stays after a rejected 120: a weak match is still not reported.
    const Image tex = texture();
    const Image img = stamped(80, 80, tex, {{20, 30, 60}});
    Buf image(img);
    Buf source(stamped(80, 80, tex, {{20, 30, 0}}));
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(source.get(), &model, 20, 30, 24, 24), IM_OK);
    Results results(5);
    ASSERT_EQ(ImPatSetSearchLevel(0, 0), IM_OK);
    const int32_t found = ImPatExecute(model, image.get(), results.get());
    ASSERT_GE(found, 1);
    const double weak = results[0].score;
    ASSERT_LT(weak, 90.0);
    ASSERT_EQ(ImPatSetAccept(90.0), IM_OK);
    ASSERT_EQ(ImPatSetAccept(120.0), IM_ERR_PARAM);
    ASSERT_EQ(ImPatSetSearchLevel(9, 0), IM_ERR_PARAM); // levels stay 0 to 0
    EXPECT_EQ(ImPatExecute(model, image.get(), results.get()), 0);
    // A score exactly equal to the threshold is kept.
    ASSERT_EQ(ImPatSetAccept(weak), IM_OK);
    ASSERT_GE(ImPatExecute(model, image.get(), results.get()), 1);
    EXPECT_EQ(results[0].score, weak);
    ImPatFreeModel(model);
}

TEST_F(Pattern, ResultArrays) {
    ImPatResult* r = nullptr;
    EXPECT_EQ(ImPatAllocResult(&r, 0), IM_ERR_RESULTCOUNT);
    EXPECT_EQ(ImPatAllocResult(&r, 51), IM_ERR_RESULTCOUNT);
    EXPECT_EQ(ImPatAllocResult(nullptr, 5), IM_ERR_PARAM);
    ASSERT_EQ(ImPatAllocResult(&r, 50), IM_OK);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(r[i].score, 0.0);
        EXPECT_EQ(r[i].x, 0.0);
        EXPECT_EQ(r[i].y, 0.0);
    }
    static_assert(sizeof(ImPatResult) == 24);

    Buf image(64, 64);
    Buf source(64, 64);
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(source.get(), &model, 0, 0, 24, 24), IM_OK);
    ImPatResult foreign[3] = {};
    EXPECT_EQ(ImPatExecute(model, image.get(), nullptr), IM_ERR_NOMEM);
    EXPECT_EQ(ImPatExecute(model, image.get(), foreign), IM_ERR_NOMEM);
    EXPECT_EQ(ImPatExecute(model, image.get(), r + 1), IM_ERR_NOMEM);
    // The result array is checked before the handles.
    EXPECT_EQ(ImPatExecute(31337, image.get(), foreign), IM_ERR_NOMEM);
    EXPECT_EQ(ImPatExecute(31337, image.get(), r), IM_ERR_NOBUF);
    EXPECT_EQ(ImPatExecute(model, 31337, r), IM_ERR_NOBUF);
    ImPatFreeResult(foreign); // ignored
    ImPatFreeResult(nullptr);
    ImPatFreeResult(r);
    EXPECT_EQ(ImPatExecute(model, image.get(), r), IM_ERR_NOMEM); // freed
    ImPatFreeResult(r);                                           // a second release is ignored too
    ImPatFreeModel(model);
}

TEST_F(Pattern, SearchAreaRules) {
    Buf image(100, 80);
    EXPECT_EQ(ImPatSetSearchArea(4040404, 0, 0, 1, 1), IM_ERR_NOBUF);
    EXPECT_EQ(ImPatSetSearchArea(image.get(), -1, -1, -1, -1), IM_OK);
    EXPECT_EQ(ImPatSetSearchArea(image.get(), 99, 79, 1, 1), IM_OK);
    EXPECT_EQ(ImPatSetSearchArea(image.get(), 99, 79, 2, 1), IM_ERR_RECT);
    EXPECT_EQ(ImPatSetSearchArea(image.get(), 0, 0, 0, 1), IM_ERR_RECT);
    EXPECT_EQ(ImPatSetSearchArea(image.get(), -5, 0, 1, 1), IM_ERR_RECT);
    EXPECT_EQ(ImPatSetSearchArea(image.get(), 10, 10, int32_t(0xFFFFFFFE), 1), IM_ERR_RECT);
}

TEST_F(Pattern, ModelCutFromTheImageIsFoundAtItsCentreWithScore100) {
    std::mt19937 rng(12);
    const Image img = qxm::imref::makeContent(200, 150, qxm::imref::Content::Mixed, rng);
    Buf image(img);
    for (const auto& [x, y, w, h] : std::vector<std::array<int, 4>>{
             {60, 40, 24, 24}, {101, 77, 37, 30}, {0, 0, 50, 41}, {150, 100, 50, 50}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        ImBufHandle model = 0;
        ASSERT_EQ(ImPatAllocModel(image.get(), &model, x, y, w, h), IM_OK);
        Results results(10);
        ASSERT_GE(ImPatExecute(model, image.get(), results.get()), 1);
        EXPECT_EQ(results[0].score, 100.0);
        EXPECT_EQ(results[0].x, x + (w - 1) / 2.0);
        EXPECT_EQ(results[0].y, y + (h - 1) / 2.0);
        ImPatFreeModel(model);
    }
}

TEST_F(Pattern, UniformModelHasNoVarianceUnlessEverySecondColumnIsSampled) {
    std::mt19937 rng(3);
    Image img = qxm::imref::makeContent(120, 100, qxm::imref::Content::Blobs, rng);
    for (int y = 30; y < 60; ++y)
        for (int x = 40; x < 70; ++x)
            img.at(x, y) = 77;
    Buf image(img);
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(image.get(), &model, 40, 30, 30, 30), IM_OK);
    Results results(10);
    ASSERT_EQ(ImPatSetAccept(0.0), IM_OK);
    EXPECT_EQ(ImPatExecute(model, image.get(), results.get()), 0);
    EXPECT_EQ(results[0].score, 0.0); // untouched
    ImPatUseSecondPixel(1);
    const int32_t found = ImPatExecute(model, image.get(), results.get());
    const auto want = qxm::imref::execute(qxm::imref::cut(img, 40, 30, 30, 30), img,
                                          qxm::imref::Params{0.0, 100.0, 1, 7, 0}, 10);
    EXPECT_GT(found, 0);
    EXPECT_EQ(found, want.code);
    ImPatFreeModel(model);
}

TEST_F(Pattern, InvertedModelDoesNotMatchWhereItWasCut) {
    std::mt19937 rng(8);
    const Image img = qxm::imref::makeContent(120, 100, qxm::imref::Content::Mixed, rng);
    Image inverted = qxm::imref::cut(img, 40, 30, 32, 32);
    for (auto& p : inverted.pixels)
        p = uint8_t(255 - p);
    Buf image(img);
    Buf inv(inverted);
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(inv.get(), &model, 0, 0, 32, 32), IM_OK);
    ASSERT_EQ(ImPatSetAccept(0.0), IM_OK);
    ASSERT_EQ(ImPatSetSearchLevel(0, 0), IM_OK);
    ASSERT_EQ(ImPatSetSearchArea(image.get(), 40 + 15, 30 + 15, 1, 1), IM_OK);
    Results results(5);
    EXPECT_EQ(ImPatExecute(model, image.get(), results.get()), 0);
    ImPatFreeModel(model);
}

TEST_F(Pattern, BestHitsFirstAndEqualScoresInTheOrderFound) {
    const Image tex = texture();
    // Eight copies with growing noise: eight peaks of falling score.
    std::vector<std::array<int, 3>> at;
    for (int i = 0; i < 8; ++i)
        at.push_back({10 + (i % 4) * 45, 10 + (i / 4) * 50, 5 + 6 * i});
    const Image img = stamped(200, 120, tex, at);
    Buf image(img);
    Buf source(tex);
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(source.get(), &model, 0, 0, 24, 24), IM_OK);
    ASSERT_EQ(ImPatSetAccept(30.0), IM_OK);
    ASSERT_EQ(ImPatSetSearchLevel(0, 0), IM_OK);
    Results all(50);
    ASSERT_EQ(ImPatExecute(model, image.get(), all.get()), 8);
    Results five(5);
    ASSERT_EQ(ImPatExecute(model, image.get(), five.get()), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(five[i].score, all[i].score);
        EXPECT_EQ(five[i].x, at[std::size_t(i)][0] + 11.5);
        EXPECT_EQ(five[i].y, at[std::size_t(i)][1] + 11.5);
        if (i > 0) {
            EXPECT_LT(five[i].score, five[i - 1].score);
        }
    }

    // Two equal windows below a better one: both kept, the one found first (upper) first.
    const Image twins = stamped(120, 140, tex, {{60, 10, 4}, {10, 60, 20}, {70, 100, 20}});
    Buf twinImage(twins);
    Results r(10);
    ASSERT_EQ(ImPatExecute(model, twinImage.get(), r.get()), 3);
    EXPECT_GT(r[0].score, r[1].score);
    EXPECT_EQ(r[1].score, r[2].score);
    EXPECT_EQ(r[1].y, 60 + 11.5);
    EXPECT_EQ(r[2].y, 100 + 11.5);
    ImPatFreeModel(model);
}

TEST_F(Pattern, SingleCentreSearchOfAnOddModelAtTheCoarsestLevel) {
    // With an odd model there is exactly one window per centre; the hit is that centre.
    std::mt19937 rng(21);
    const Image img = qxm::imref::makeContent(160, 120, qxm::imref::Content::Noise, rng);
    Buf image(img);
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(image.get(), &model, 50, 40, 25, 25), IM_OK);
    ASSERT_EQ(ImPatSetSearchArea(image.get(), 62, 52, 1, 1), IM_OK);
    Results results(3);
    ASSERT_EQ(ImPatExecute(model, image.get(), results.get()), 1);
    EXPECT_EQ(results[0].score, 100.0);
    EXPECT_EQ(results[0].x, 62.0);
    EXPECT_EQ(results[0].y, 52.0);
    ImPatFreeModel(model);
}

TEST(Exports, ExactlyTheThirteenFunctions) {
    const char* lib = std::getenv("QXM_LIB_DIR");
    ASSERT_NE(lib, nullptr);
    const std::string cmd = "nm -D --defined-only " + std::string(lib) + "/libqxmimlib.so";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        const auto sp = s.find_last_of(' ');
        std::string name = s.substr(sp + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (!name.empty()) names.insert(name.substr(0, name.find('@')));
    }
    pclose(p);
    const std::set<std::string> want = {
        "ImBufAlloc",      "ImBufFree",          "ImBufCopy",           "ImBufPut",
        "ImPatAllocModel", "ImPatFreeModel",     "ImPatAllocResult",    "ImPatFreeResult",
        "ImPatSetAccept",  "ImPatSetSearchArea", "ImPatUseSecondPixel", "ImPatSetSearchLevel",
        "ImPatExecute"};
    EXPECT_EQ(names, want);
}

} // namespace

#include "platform/video/GopCache.h"
#include "platform/video/FrameSource.h"
#include "platform/video/tests/VideoTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace qxm::video;
using namespace qxm::video::testing;
namespace mg = qxm::moviegen;

namespace {

std::unique_ptr<FrameSource> openOk(const std::string& path) {
    OpenStatus status = OpenStatus::NotFound;
    std::string message;
    auto source = FrameSource::open(path, status, &message);
    EXPECT_TRUE(source) << message;
    return source;
}

std::vector<std::string> kindNames() {
    std::vector<std::string> names;
    for (const auto& k : mg::movieKinds())
        names.push_back(k.name);
    return names;
}

Frame frameOf(size_t bytes, uint8_t fill) {
    Frame f;
    f.width = 1;
    f.height = int32_t(bytes / 3);
    f.pixels.assign(bytes, fill);
    return f;
}

class StepBack : public ::testing::TestWithParam<std::string> {};

} // namespace

// Stepping backward (and back and forth) over the key frames of a movie gives exactly the
// frames of a sequential decode, with the default bound and with a bound of three frames that
// makes the cache drop and decode frames again.
TEST_P(StepBack, StepsOverGroupBoundariesGiveTheFramesOfASequentialDecode) {
    const std::string kind = GetParam();
    if (!mg::kindAvailable(kind)) GTEST_SKIP() << kind << " cannot be written here";
    PrivateCache cache;
    TempFolder tmp;
    mg::MovieRecipe recipe = recipeFor(kind, 30); // key frames 0, 12 and 24 where coded
    const std::string path = makeMovie(tmp, recipe);

    std::vector<Frame> sequential(size_t(recipe.frames));
    {
        auto source = openOk(path);
        ASSERT_TRUE(source);
        for (int n = 0; n < recipe.frames; ++n)
            ASSERT_TRUE(source->read(n, sequential[size_t(n)])) << n;
    }
    const size_t frameBytes = sequential[0].pixels.size() + sequential[0].palette.size() * 4;

    // Back one frame at a time from the end, then a walk of short steps either way.
    std::vector<int> order;
    for (int n = recipe.frames - 1; n >= 0; --n)
        order.push_back(n);
    std::mt19937 rng(uint32_t(std::hash<std::string>{}(kind)));
    std::uniform_int_distribution<int> step(-5, 3);
    for (int i = 0, n = recipe.frames / 2; i < 120; ++i) {
        n = std::clamp(n + step(rng), 0, recipe.frames - 1);
        order.push_back(n);
    }

    for (size_t limit : {FrameSource::defaultCacheLimit(), 3 * frameBytes, size_t(0)}) {
        auto source = openOk(path);
        ASSERT_TRUE(source);
        source->setCacheLimit(limit);
        EXPECT_EQ(source->cacheLimit(), limit);
        Frame got;
        int wrong = 0;
        for (int n : order) {
            ASSERT_TRUE(source->read(n, got)) << "frame " << n;
            const Frame& want = sequential[size_t(n)];
            if (got.pixels != want.pixels || got.palette != want.palette || got.kind != want.kind ||
                got.width != want.width || got.height != want.height)
                ++wrong;
        }
        EXPECT_EQ(wrong, 0) << kind << " with a bound of " << limit << " bytes";
        std::vector<uint8_t> bgr, bgrAgain;
        ASSERT_TRUE(source->readBgr(13, bgr));
        ASSERT_TRUE(source->readBgr(11, bgrAgain));
        ASSERT_TRUE(source->readBgr(13, bgrAgain));
        EXPECT_EQ(bgr, bgrAgain);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, StepBack, ::testing::ValuesIn(kindNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(FrameSource, CacheBoundComesFromTheEnvironment) {
    const char* old = std::getenv("QXM_FRAME_CACHE_MB");
    const std::string saved = old ? old : "";
    setenv("QXM_FRAME_CACHE_MB", "12", 1);
    EXPECT_EQ(FrameSource::defaultCacheLimit(), size_t(12) << 20);
    setenv("QXM_FRAME_CACHE_MB", "lots", 1);
    EXPECT_EQ(FrameSource::defaultCacheLimit(), size_t(256) << 20);
    unsetenv("QXM_FRAME_CACHE_MB");
    EXPECT_EQ(FrameSource::defaultCacheLimit(), size_t(256) << 20);
    if (old) setenv("QXM_FRAME_CACHE_MB", saved.c_str(), 1);
}

// Frames of a 4000 x 3000 movie (36 MB each) under the default bound: never more than the
// bound is held, the newest frames stay, and a lower bound drops the oldest at once.
TEST(GopCache, KeepsTheNewestFramesOfARunWithinItsBound) {
    const size_t big = size_t(4000) * 3000 * 3;
    GopCache cache(size_t(256) << 20);
    for (int n = 100; n < 120; ++n) {
        cache.add(n, frameOf(big, uint8_t(n)), true);
        ASSERT_LE(cache.reserved(), cache.limit()) << n;
        ASSERT_NE(cache.find(n), nullptr);
        EXPECT_EQ(cache.find(n)->pixels[7], uint8_t(n));
    }
    EXPECT_EQ(cache.fitting(big), 7u);
    EXPECT_EQ(cache.first(), 113);
    EXPECT_EQ(cache.last(), 119);
    EXPECT_EQ(cache.find(112), nullptr);
    EXPECT_EQ(cache.find(120), nullptr);

    cache.setLimit(size_t(100) << 20);
    EXPECT_EQ(cache.first(), 118);
    EXPECT_EQ(cache.bytes(), 2 * big);

    // A frame that does not follow the run, or one not meant to continue it, starts a new run.
    cache.add(200, frameOf(big, 1), true);
    EXPECT_EQ(cache.first(), 200);
    cache.add(201, frameOf(big, 2), false);
    EXPECT_EQ(cache.first(), 201);
    EXPECT_EQ(cache.bytes(), big);
    EXPECT_LE(cache.reserved(), cache.limit());

    // A frame larger than the whole bound is not held, and nothing else either.
    cache.setLimit(big - 1);
    EXPECT_EQ(cache.reserved(), 0u);
    cache.add(202, frameOf(big, 3), true);
    EXPECT_EQ(cache.first(), -1);
    EXPECT_EQ(cache.find(202), nullptr);
    EXPECT_EQ(cache.bytes(), 0u);
}

#include "platform/video/FrameSource.h"
#include "platform/video/tests/VideoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <thread>

using namespace qxm::video;
using namespace qxm::video::testing;
namespace mg = qxm::moviegen;

namespace {

std::unique_ptr<FrameSource> openOk(const std::string& path, const Progress& progress = {}) {
    OpenStatus status = OpenStatus::NotFound;
    std::string message;
    auto source = FrameSource::open(path, status, &message, progress);
    EXPECT_EQ(status, OpenStatus::Ok) << message;
    EXPECT_TRUE(source) << message;
    return source;
}

int barcodeOf(const std::vector<uint8_t>& bgr, const MovieInfo& info) {
    return mg::readBarcode(bgr.data(), info.width, info.height, info.width * 3);
}

std::vector<std::string> kindNames() {
    std::vector<std::string> names;
    for (const auto& k : mg::movieKinds())
        names.push_back(k.name);
    return names;
}

bool lossless(const std::string& kind) {
    return kind == "avi-bgr24" || kind == "avi-pal8";
}

class EveryKind : public ::testing::TestWithParam<std::string> {};

} // namespace

// Frame n must be the n-th picture whatever order frames are asked in: every frame read in
// order carries its own number in the barcode, and 300 reads in random order (plus a
// backward sweep) give exactly the pixels of the sequential pass.
TEST_P(EveryKind, RandomOrderReadsGiveTheFramesOfASequentialDecode) {
    const std::string kind = GetParam();
    if (!mg::kindAvailable(kind)) GTEST_SKIP() << kind << " cannot be written here";
    TempFolder tmp;
    const mg::MovieRecipe movieRecipe = recipeFor(kind, 100);
    const std::string path = makeMovie(tmp, movieRecipe);
    auto source = openOk(path);
    ASSERT_TRUE(source);
    const MovieInfo& info = source->info();
    EXPECT_EQ(info.frameCount, movieRecipe.frames);
    EXPECT_EQ(info.width, movieRecipe.width);
    EXPECT_EQ(info.height, movieRecipe.height);
    EXPECT_EQ(info.fpsNum * 1.0 / info.fpsDen, double(movieRecipe.fps));
    EXPECT_EQ(info.palettised, kind == "avi-pal8");
    const std::map<std::string, std::string> containers = {
        {".avi", "avi/"}, {".mpg", "mpeg/"}, {".mov", "mov/"}};
    EXPECT_EQ(info.kind.rfind(containers.at(mg::findKind(kind)->extension), 0), 0u) << info.kind;

    std::vector<std::vector<uint8_t>> sequential(movieRecipe.frames);
    std::vector<uint8_t> expected;
    int unreadable = 0;
    for (int n = 0; n < movieRecipe.frames; ++n) {
        ASSERT_TRUE(source->readBgr(n, sequential[n])) << "frame " << n;
        ASSERT_EQ(sequential[n].size(), size_t(info.width) * info.height * 3);
        // Lossy coding may blur a barcode beyond reading, but never into another number.
        const int code = barcodeOf(sequential[n], info);
        if (code == -1)
            ++unreadable;
        else
            EXPECT_EQ(code, n);
        if (lossless(kind)) {
            mg::renderFrame(movieRecipe, n, expected);
            EXPECT_TRUE(sequential[n] == expected) << "frame " << n << " is not the picture";
        }
    }

    EXPECT_LE(unreadable, lossless(kind) ? 0 : movieRecipe.frames / 50);

    std::mt19937 rng(uint32_t(std::hash<std::string>{}(kind)));
    std::uniform_int_distribution<int> pick(0, movieRecipe.frames - 1);
    std::vector<int> order(300);
    for (int& n : order)
        n = pick(rng);
    for (int n = movieRecipe.frames - 1; n >= 0; n -= 7)
        order.push_back(n);
    int wrong = 0;
    std::vector<uint8_t> got;
    for (int n : order) {
        ASSERT_TRUE(source->readBgr(n, got)) << "frame " << n;
        if (got != sequential[n]) {
            ++wrong;
            ADD_FAILURE() << kind << ": frame " << n << " read out of order shows barcode "
                          << barcodeOf(got, info);
            if (wrong > 5) break;
        }
    }
    EXPECT_EQ(wrong, 0);

    EXPECT_FALSE(source->readBgr(-1, got));
    EXPECT_FALSE(source->readBgr(movieRecipe.frames, got));
    Frame frame;
    EXPECT_FALSE(source->read(movieRecipe.frames, frame));
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryKind, ::testing::ValuesIn(kindNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(FrameSource, PalettisedMoviesGivePal8FramesWithTheirPalette) {
    TempFolder tmp;
    const mg::MovieRecipe movieRecipe = recipeFor("avi-pal8", 8);
    auto source = openOk(makeMovie(tmp, movieRecipe));
    ASSERT_TRUE(source);
    Frame frame;
    ASSERT_TRUE(source->read(3, frame));
    EXPECT_EQ(frame.kind, Frame::Kind::Pal8);
    ASSERT_EQ(frame.palette.size(), 256u);
    EXPECT_EQ(frame.palette, mg::paletteColours());
    ASSERT_EQ(frame.pixels.size(), size_t(movieRecipe.width) * movieRecipe.height);
    std::vector<uint8_t> bgr;
    mg::renderFrame(movieRecipe, 3, bgr);
    for (size_t i = 0; i < frame.pixels.size(); ++i)
        ASSERT_EQ(frame.pixels[i], mg::paletteIndex(bgr[i * 3], bgr[i * 3 + 1], bgr[i * 3 + 2]))
            << "pixel " << i;

    auto bgrSource = openOk(makeMovie(tmp, recipeFor("avi-bgr24", 4), "rgb"));
    ASSERT_TRUE(bgrSource);
    ASSERT_TRUE(bgrSource->read(1, frame));
    EXPECT_EQ(frame.kind, Frame::Kind::Bgr24);
    EXPECT_TRUE(frame.palette.empty());
}

namespace {

std::map<std::string, fs::file_time_type> snapshot(const fs::path& folder) {
    std::map<std::string, fs::file_time_type> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = e.last_write_time();
    return files;
}

struct ProgressLog {
    int calls = 0;
    int64_t lastDone = -1, lastTotal = -1;
    bool monotonic = true;
    Progress callback() {
        return [this](int64_t done, int64_t total) {
            if (done < lastDone || done > total) monotonic = false;
            ++calls;
            lastDone = done;
            lastTotal = total;
        };
    }
};

} // namespace

// A movie is indexed (and rewritten when needed) once; later opens reuse the cache without
// indexing, and a movie that changed at the same path is indexed again.
TEST(FrameSource, CacheIsReusedAndAChangedMovieIsIndexedAgain) {
    for (const std::string kind : {"avi-mpeg4", "avi-mjpeg"}) {
        PrivateCache cache;
        TempFolder tmp;
        const std::string path = makeMovie(tmp, recipeFor(kind, 30));
        ProgressLog first;
        {
            auto source = openOk(path, first.callback());
            ASSERT_TRUE(source);
            EXPECT_EQ(source->info().frameCount, 30);
        }
        EXPECT_GT(first.calls, 0) << kind;
        EXPECT_TRUE(first.monotonic);
        EXPECT_EQ(first.lastDone, first.lastTotal) << "progress ends complete";
        const auto entries = snapshot(cache.videoFolder());
        EXPECT_EQ(entries.size(), kind == "avi-mpeg4" ? 3u : 2u) << "lock, index, rewrite";

        ProgressLog second;
        {
            auto source = openOk(path, second.callback());
            ASSERT_TRUE(source);
            std::vector<uint8_t> bgr;
            ASSERT_TRUE(source->readBgr(17, bgr));
            EXPECT_EQ(barcodeOf(bgr, source->info()), 17);
        }
        EXPECT_EQ(second.calls, 0) << kind << ": nothing indexed again";
        EXPECT_EQ(snapshot(cache.videoFolder()), entries);

        makeMovie(tmp, recipeFor(kind, 45));
        ProgressLog third;
        auto source = openOk(path, third.callback());
        ASSERT_TRUE(source);
        EXPECT_EQ(source->info().frameCount, 45);
        EXPECT_GT(third.calls, 0);
        std::vector<uint8_t> bgr;
        ASSERT_TRUE(source->readBgr(40, bgr));
        EXPECT_EQ(barcodeOf(bgr, source->info()), 40);
        const auto now = snapshot(cache.videoFolder());
        EXPECT_EQ(now.size(), entries.size()) << "entries of the old movie are dropped";
        for (const auto& [name, time] : entries)
            EXPECT_FALSE(now.count(name)) << name;
    }
}

TEST(FrameSource, DamagedCacheEntriesAreMadeAgain) {
    PrivateCache cache;
    TempFolder tmp;
    const std::string path = makeMovie(tmp, recipeFor("mpg-mpeg2", 40));
    ASSERT_TRUE(openOk(path));
    for (const auto& e : fs::directory_iterator(cache.videoFolder())) {
        // Cut every cache file in half.
        const auto size = fs::file_size(e.path());
        fs::resize_file(e.path(), size / 2);
    }
    auto source = openOk(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->info().frameCount, 40);
    std::vector<uint8_t> bgr;
    for (int n : {39, 0, 21}) {
        ASSERT_TRUE(source->readBgr(n, bgr));
        EXPECT_EQ(barcodeOf(bgr, source->info()), n);
    }
}

TEST(FrameSource, OpenFailuresReportAStatusAndAReason) {
    PrivateCache cache;
    TempFolder tmp;
    auto expectFailure = [](const std::string& path, OpenStatus want, const char* what) {
        OpenStatus status = OpenStatus::Ok;
        std::string message;
        EXPECT_FALSE(FrameSource::open(path, status, &message)) << what;
        EXPECT_EQ(status, want) << what << ": " << message;
        EXPECT_FALSE(message.empty()) << what;
        OpenStatus quiet = OpenStatus::Ok;
        EXPECT_FALSE(FrameSource::open(path, quiet)) << what << " without a message";
        EXPECT_EQ(quiet, want);
    };
    expectFailure(tmp / "missing.avi", OpenStatus::NotFound, "missing file");
    expectFailure("", OpenStatus::NotFound, "empty path");
    expectFailure(tmp / "no/such/folder.avi", OpenStatus::NotFound, "missing folder");
    std::ofstream(tmp / "notes.avi") << "These are my notes, not a movie.\n";
    expectFailure(tmp / "notes.avi", OpenStatus::Unreadable, "text file named .avi");
    std::ofstream(tmp / "empty.mov");
    expectFailure(tmp / "empty.mov", OpenStatus::Unreadable, "empty file");
    expectFailure(tmp.path.string(), OpenStatus::Unreadable, "a folder");

    // A sound file: 0.1 s of 8-bit mono silence.
    {
        std::ofstream wav(tmp / "sound.wav", std::ios::binary);
        auto u32 = [&](uint32_t v) { wav.write(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { wav.write(reinterpret_cast<const char*>(&v), 2); };
        wav << "RIFF";
        u32(36 + 800);
        wav << "WAVEfmt ";
        u32(16);
        u16(1);
        u16(1);
        u32(8000);
        u32(8000);
        u16(1);
        u16(8);
        wav << "data";
        u32(800);
        wav << std::string(800, char(128));
    }
    expectFailure(tmp / "sound.wav", OpenStatus::NoVideo, "no video stream");

    // Truncated movies: the QuickTime one loses its header (written last), the AVI one half
    // of its frames.
    for (const char* kind : {"mov-mjpeg", "avi-bgr24"}) {
        const std::string whole = makeMovie(tmp, recipeFor(kind, 30), std::string("cut-") + kind);
        fs::resize_file(whole, fs::file_size(whole) / 2);
        expectFailure(whole, OpenStatus::Unreadable, kind);
    }
}

// One frame source is used by one thread at a time, but several threads may open and read
// movies (even the same one, while it is being indexed) at once.
TEST(FrameSource, SeveralThreadsOpenAndReadAtOnce) {
    PrivateCache cache;
    TempFolder tmp;
    const std::string shared = makeMovie(tmp, recipeFor("mpg-mpeg1", 40), "shared");
    const std::string other = makeMovie(tmp, recipeFor("avi-mjpeg", 40), "other");
    std::vector<int> wrong(4, -1);
    std::vector<std::string> messages(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            OpenStatus status;
            auto source = FrameSource::open(t % 2 ? other : shared, status, &messages[t]);
            if (!source) return;
            int bad = 0;
            std::vector<uint8_t> bgr;
            for (int i = 0; i < 40; ++i) {
                const int n = (i * 17 + t * 5) % 40;
                if (!source->readBgr(n, bgr) || barcodeOf(bgr, source->info()) != n) ++bad;
            }
            wrong[t] = bad;
        });
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t << ": " << messages[t];
}

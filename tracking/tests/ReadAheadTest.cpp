// Decoding beside tracking changes nothing a caller can see: whole tracks on scenes and on
// movies are those of plain reading, and failures reach the caller with the frame asked for.
#include "tracking/ReadAhead.h"
#include "tests/TestFrames.h"
#include "tests/TestMovies.h"
#include "tracking/Codes.h"
#include "tracking/FramePair.h"
#include "tracking/Tracker.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>

using namespace qxm::track;
using namespace qxm::track::test;
namespace fs = std::filesystem;
namespace moviegen = qxm::moviegen;

namespace {

struct Outcome {
    int32_t rc = 0;
    std::vector<SetAutoAnchorRecord> records;
    int64_t aheadHits = 0;
};

// Tracks s..e on the source with the passes of ExecSetAuto, reading plainly or ahead.
Outcome trackOn(DibSource& source, int32_t w, int32_t h, const Params& p, int32_t s, int32_t e,
                const Rect& S, const Rect& E, bool ahead) {
    ImBufHandle a = -1, b = -1;
    EXPECT_EQ(ImBufAlloc(w, h, 8, &a), IM_OK);
    EXPECT_EQ(ImBufAlloc(w, h, 8, &b), IM_OK);
    GrayReader reader(source, w, h, GrayWeights(p.red, p.green, p.blue));
    FramePair frames(reader, a, b);
    if (ahead) reader.startReadAhead(s, e, p.frameStep);
    std::vector<SetAutoAnchorRecord> fw(size_t(e - s + 1)), bw(size_t(e - s + 1));
    Track f{fw.data(), 0, int64_t(fw.size())}, t{bw.data(), 0, int64_t(bw.size())};
    Tracker tracker(p, frames, w, h);
    Outcome out;
    out.rc = tracker.run(s, e, S, E, f, t);
    out.aheadHits = reader.readAhead() ? reader.readAhead()->hits() : -1;
    reader.stopReadAhead();
    out.records.assign(fw.begin(), fw.begin() + f.count);
    ImBufFree(a);
    ImBufFree(b);
    return out;
}

void expectSame(const Outcome& plain, const Outcome& ahead, const std::string& what) {
    EXPECT_EQ(plain.rc, ahead.rc) << what;
    ASSERT_EQ(plain.records.size(), ahead.records.size()) << what;
    for (size_t i = 0; i < plain.records.size(); ++i) {
        const auto &x = plain.records[i], &y = ahead.records[i];
        EXPECT_TRUE(x.frame == y.frame && x.left == y.left && x.top == y.top &&
                    x.right == y.right && x.bottom == y.bottom)
            << what << ": record " << i;
    }
    EXPECT_GT(ahead.aheadHits, 0) << what << ": nothing was decoded ahead";
}

// A scene read by two threads: its twin is a copy of its own, and both count their decodes in
// one tally.
struct Tally {
    std::mutex m;
    std::map<int, int> decodesOf;
};
class Twinned : public DibSource {
public:
    Twinned(const Scene& scene, std::shared_ptr<Tally> tally)
        : scene_(scene), tally_(std::move(tally)) {}
    bool dib(int32_t n, std::vector<uint8_t>& out) override {
        {
            const std::lock_guard<std::mutex> lock(tally_->m);
            ++tally_->decodesOf[n];
        }
        return scene_.dib(n, out);
    }
    std::unique_ptr<DibSource> twin() override { return std::make_unique<Twinned>(scene_, tally_); }

private:
    Scene scene_;
    std::shared_ptr<Tally> tally_;
};

} // namespace

// Scenes whose object moves steadily (forward pass only), jumps away (failing steps split
// down to single frames, backward pass and splice), or stands still, under several steps;
// read ahead by one thread and by two.
TEST(ReadAhead, TracksAreThoseOfPlainReading) {
    struct Case {
        const char* name;
        std::function<Rect(int)> object;
        int32_t frameStep;
        bool delMidle;
    };
    const Case cases[] = {
        {"steady",
         [](int n) {
             return Rect{20 + 2 * n, 30 + n, 60 + 2 * n, 66 + n};
         },
         5, true},
        {"steady, step 3",
         [](int n) {
             return Rect{20 + 2 * n, 30 + n, 60 + 2 * n, 66 + n};
         },
         3, false},
        {"jumps at 23",
         [](int n) {
             return n < 23 ? Rect{30, 40, 70, 80} : Rect{150, 90, 190, 130};
         },
         5, false},
        {"jumps at 23, step 7",
         [](int n) {
             return n < 23 ? Rect{30, 40, 70, 80} : Rect{150, 90, 190, 130};
         },
         7, true},
    };
    for (const Case& c : cases)
        for (const bool twins : {false, true}) {
            const std::string what = std::string(c.name) + (twins ? ", two threads" : "");
            Params p;
            p.frameStep = c.frameStep;
            p.delMidle = c.delMidle;
            Scene plainScene(240, 180, 60, c.object), aheadScene(240, 180, 60, c.object);
            auto tally = std::make_shared<Tally>();
            Twinned twinned(aheadScene, tally);
            DibSource& aheadSource = twins ? static_cast<DibSource&>(twinned) : aheadScene;
            const Rect S = c.object(2), E = c.object(57);
            const Outcome plain = trackOn(plainScene, 240, 180, p, 2, 57, S, E, false);
            const Outcome ahead = trackOn(aheadSource, 240, 180, p, 2, 57, S, E, true);
            expectSame(plain, ahead, what);
            // Guesses may cost extra decodes, but every frame tracking needs is among them.
            std::map<int, int>& aheadDecodes = twins ? tally->decodesOf : aheadScene.decodesOf;
            int64_t reads = 0;
            for (const auto& [n, count] : plainScene.decodesOf) {
                EXPECT_GE(aheadDecodes[n], count) << what << ": frame " << n;
                reads += count;
            }
            // A steady walk is guessed whole: its first frame, every step and a last step
            // that is shorter (57 after 56 with step 3).
            if (c.name[0] == 's') {
                EXPECT_EQ(ahead.aheadHits, reads) << what;
            }
        }
}

namespace {

// Throws for one frame, fails for another, and is otherwise a scene.
class Troubled : public DibSource {
public:
    explicit Troubled(Scene& scene) : scene_(scene) {}
    bool dib(int32_t n, std::vector<uint8_t>& out) override {
        if (n == throwAt) throw std::bad_alloc();
        return scene_.dib(n, out);
    }
    int32_t throwAt = -1;

private:
    Scene& scene_;
};

} // namespace

TEST(ReadAhead, FailuresReachTheCallerOnlyWithTheFrameAskedFor) {
    const auto object = [](int) { return Rect{10, 10, 40, 40}; };
    Scene scene(64, 48, 100, object), plainScene(64, 48, 100, object);
    scene.failAt[20] = true;
    Troubled source(scene);
    source.throwAt = 30;
    GrayReader reader(source, 64, 48, GrayWeights(0.299, 0.587, 0.114));
    std::vector<uint8_t> gray(64 * 48), plain(64 * 48);
    GrayReader plainReader(plainScene, 64, 48, GrayWeights(0.299, 0.587, 0.114));
    reader.startReadAhead(0, 99);
    // 10 then 15 guesses 20, which fails only when asked for.
    EXPECT_EQ(reader.read(10, gray.data()), 0);
    EXPECT_EQ(reader.read(15, gray.data()), 0);
    EXPECT_EQ(reader.read(20, gray.data()), kFrameFetch);
    EXPECT_EQ(reader.read(25, gray.data()), 0); // guesses 30, which throws
    EXPECT_EQ(reader.read(17, gray.data()), 0);
    ASSERT_EQ(plainReader.read(17, plain.data()), 0);
    EXPECT_EQ(gray, plain);
    EXPECT_EQ(reader.read(25, gray.data()), 0);
    EXPECT_THROW(reader.read(30, gray.data()), std::bad_alloc);
    EXPECT_EQ(reader.read(31, gray.data()), 0);
    EXPECT_EQ(reader.read(99, gray.data()), 0);
    EXPECT_EQ(reader.read(100, gray.data()), kFrameFetch); // past the scene
    reader.stopReadAhead();
    EXPECT_EQ(reader.readAhead(), nullptr);
    EXPECT_EQ(reader.read(31, gray.data()), 0);
}

// Whole tracks on coded movies, where reading ahead also changes the order in which the
// decoder is asked for frames.
TEST(ReadAhead, TracksOnMoviesAreThoseOfPlainReading) {
    const fs::path dir = fs::temp_directory_path() / ("qxmtrack-ahead-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    for (const char* kind : {"avi-mpeg4", "mpg-mpeg2"}) {
        for (const char* path : {"curved", "leave"}) {
            moviegen::MovieRecipe recipe;
            recipe.kind = kind;
            recipe.width = 240;
            recipe.height = 180;
            recipe.frames = 50;
            recipe.speed = 4;
            ASSERT_TRUE(moviegen::parsePath(path, recipe.path));
            const fs::path movie =
                dir / (std::string(kind) + "-" + path + moviegen::findKind(kind)->extension);
            std::vector<Rect> truth;
            std::string why;
            ASSERT_TRUE(writeTestMovie(movie.string(), recipe, truth, why)) << why;
            ASSERT_EQ(truth.size(), 50u);
            std::unique_ptr<Movie> plainMovie, aheadMovie;
            ASSERT_EQ(Movie::open(movie.string(), plainMovie), 0);
            ASSERT_EQ(Movie::open(movie.string(), aheadMovie), 0);
            Params p;
            const std::string what = std::string(kind) + " " + path;
            const Outcome plain =
                trackOn(*plainMovie, 240, 180, p, 0, 49, truth.front(), truth.back(), false);
            const Outcome ahead =
                trackOn(*aheadMovie, 240, 180, p, 0, 49, truth.front(), truth.back(), true);
            expectSame(plain, ahead, what);
        }
    }

    // The second thread's reader is the file opened, never one put in its place since.
    const fs::path movie = dir / "replaced.avi";
    moviegen::MovieRecipe recipe;
    recipe.kind = "avi-mpeg4";
    recipe.frames = 12;
    std::vector<Rect> truth;
    std::string why;
    ASSERT_TRUE(writeTestMovie(movie.string(), recipe, truth, why)) << why;
    std::unique_ptr<Movie> opened;
    ASSERT_EQ(Movie::open(movie.string(), opened), 0);
    EXPECT_NE(opened->twin(), nullptr);
    recipe.seed = 2;
    ASSERT_TRUE(writeTestMovie((dir / "other.avi").string(), recipe, truth, why)) << why;
    fs::rename(dir / "other.avi", movie);
    EXPECT_EQ(opened->twin(), nullptr);
    fs::remove_all(dir);
}

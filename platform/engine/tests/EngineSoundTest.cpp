// Sound: the movie's tone track played into a memory sink. The tone of each frame tells which
// frame a stretch of sound belongs to, so the sound heard can be compared with the picture shown.
#include "EngineTestSupport.h"

#include "platform/audio/MemoryAudioSink.h"
#include "platform/audio/SoundDecoder.h"
#include "platform/prompter/Prompter.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qxm;
using namespace qxm::engine;
using namespace qxm::engine::test;

namespace {

using Events = std::vector<std::string>;
constexpr int kRate = 48000, kFps = 25, kSpf = kRate / kFps;

moviegen::MovieRecipe toneRecipe(bool tone = true) {
    moviegen::MovieRecipe r;
    r.width = 96;
    r.height = 72;
    r.frames = 40;
    r.fps = kFps;
    r.toneRate = tone ? kRate : 0;
    return r;
}

class EngineSound : public ::testing::Test {
protected:
    void open(bool tone = true) {
        // Like a device, the memory sink is heard a little after the first write.
        sinks.options.latencyMs = 120;
        path = makeMovie(tone ? "tone.avi" : "mute.avi", toneRecipe(tone));
        engine.setAudioSinkFactory(sinks.factory());
        ASSERT_TRUE(openAndWait(engine, QString::fromStdString(path)));
        log = std::make_unique<EventLog>(engine);
    }
    bool waitForState(int state) {
        return waitUntil([&] { return engine.CurrentState() == state; });
    }
    // While running, compares the frame shown with the tone heard in the last 10 ms. Moments
    // right after the test thread was held up (a busy machine) are left out, and a few misses
    // are allowed for the same reason: the picture's timer may not have had its turn yet. A
    // picture out of step with the sound misses nearly every time.
    void probeAlignment() {
        QObject::connect(&probe, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            const bool late = now - lastProbe > std::chrono::milliseconds(20);
            lastProbe = now;
            const auto sound = sinks.last();
            if (late || engine.CurrentState() != kRunning || !engine.soundLeads() || !sound) return;
            const int64_t heard = sound->heardIndex();
            if (heard - kRate / 100 < sound->epochFirst) return;
            const int tone = moviegen::toneFrameOf(sound->samples.data() + heard - kRate / 100,
                                                   kRate / 100, kRate);
            const int frame = engine.currentFrame();
            const int off = ((tone - frame % 16) + 16) % 16;
            ++probes;
            if (off > 1 && off < 15)
                misses.push_back("frame " + std::to_string(frame) + " tone " +
                                 std::to_string(tone));
        });
        probe.start(7);
    }
    // The track's samples of frames [first, last].
    std::vector<int16_t> trackOf(int first, int last) {
        auto decoder = audio::SoundDecoder::open(path);
        std::vector<int16_t> s;
        if (!decoder || !decoder->seek(int64_t(first) * kSpf)) return s;
        decoder->read(s, int64_t(last - first + 1) * kSpf);
        return s;
    }

    AppFirst appFirst;
    ScriptedPrompter prompter;
    audio::MemorySinkFactory sinks;
    MovieEngine engine;
    std::string path;
    std::unique_ptr<EventLog> log;
    QTimer probe;
    std::chrono::steady_clock::time_point lastProbe;
    int probes = 0;
    std::vector<std::string> misses;
};

} // namespace

// A selection played twice: the sound heard is the selection's sound twice, whole and in order;
// the picture starts with the sound (which the sink makes late, as a device would) and follows
// it all the way.
TEST_F(EngineSound, PlaysTheSelectionsSoundCompleteAndInStepWithThePicture) {
    open();
    ASSERT_TRUE(engine.hasSound());
    engine.setSelectionStart(5);
    engine.setSelectionEnd(24);
    engine.setPlayCount(2);
    engine.setCurrentPosition(5);
    probeAlignment();
    // When the picture first moves on from the start frame.
    std::chrono::steady_clock::time_point moved{};
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (moved == decltype(moved){} && engine.currentFrame() != 5)
            moved = std::chrono::steady_clock::now();
    });
    watch.start(2);
    engine.Run();
    EXPECT_TRUE(engine.soundLeads());
    ASSERT_TRUE(waitForState(kStopped));
    EXPECT_EQ(log->events, (Events{"pos 0 5", "state 0 2", "pos 24 5", "state 2 0"}));
    EXPECT_EQ(engine.currentFrame(), 24);
    QTest::qWait(300); // the last frame's sound plays out

    const auto sound = sinks.last();
    ASSERT_TRUE(sound);
    EXPECT_EQ(sinks.logs->size(), 1u);
    ASSERT_FALSE(sound->chunks.empty());
    // The start frame shows for one frame period from the moment its sound is heard.
    const auto period = std::chrono::milliseconds(1000 / kFps);
    const auto lag = moved - (sound->chunks.front().heard + period);
    EXPECT_LT(std::chrono::abs(lag), period)
        << std::chrono::duration<double, std::milli>(lag).count() << " ms";

    std::vector<int16_t> expected = trackOf(5, 24);
    ASSERT_EQ(expected.size(), size_t(20 * kSpf));
    expected.insert(expected.end(), expected.begin(), expected.end());
    ASSERT_GE(sound->samples.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sound->samples.begin()));
    EXPECT_TRUE(std::all_of(sound->samples.begin() + expected.size(), sound->samples.end(),
                            [](int16_t v) { return v == 0; }));
    EXPECT_GT(probes, 50);
    EXPECT_LE(misses.size(), size_t(probes / 20)) << "first: " << misses.front();
}

// Pause holds the sound, positioning while paused or running moves it with the picture, Stop
// silences it; volume and mute reach the output.
TEST_F(EngineSound, PauseSeekAndStopKeepSoundWithThePicture) {
    open();
    probeAlignment();
    EXPECT_TRUE(engine.setVolume(0.5));
    EXPECT_FALSE(engine.setVolume(1.5));
    engine.Run();
    const auto sound = sinks.last();
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->volume, 0.5);
    QTest::qWait(300);
    engine.Pause();
    const int64_t pausedAt = sound->heardIndex();
    ASSERT_GT(pausedAt, kRate / 100);
    const int tone =
        moviegen::toneFrameOf(sound->samples.data() + pausedAt - kRate / 100, kRate / 100, kRate);
    const int off = ((tone - engine.currentFrame() % 16) + 16) % 16;
    EXPECT_TRUE(off <= 1 || off == 15) << "tone " << tone << " frame " << engine.currentFrame();
    QTest::qWait(150);
    EXPECT_EQ(sound->heardIndex(), pausedAt);

    engine.setMute(true);
    EXPECT_EQ(sound->volume, 0.0);
    engine.setMute(false);
    EXPECT_EQ(sound->volume, 0.5);

    engine.setCurrentPosition(30);
    engine.Run();
    QTest::qWait(200);
    engine.setCurrentPosition(8);
    QTest::qWait(250);
    EXPECT_EQ(engine.CurrentState(), kRunning);
    engine.Stop();
    const size_t heard = sound->samples.size();
    QTest::qWait(150);
    EXPECT_EQ(sound->samples.size(), heard);
    EXPECT_GT(probes, 15);
    EXPECT_LE(misses.size(), size_t(probes / 20)) << "first: " << misses.front();
    EXPECT_TRUE(log->matching("error").empty());
}

// Whatever keeps the sound from leading, the movie plays to its end by the steady clock,
// without an error.
TEST_F(EngineSound, PlaysSilentlyWithoutSoundOrOutput) {
    struct Case {
        const char* name;
        bool tone;
        audio::MemoryAudioSink::Options options;
        double rate;
    };
    const Case cases[] = {
        {"movie without sound", false, {}, 1.0},
        {"no output device", true, {100, true, -1, -1}, 1.0},
        {"output failing midway", true, {100, false, 300, -1}, 1.0},
        {"output stuck midway", true, {100, false, -1, 300}, 1.0},
        {"rate other than 1", true, {}, 4.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        audio::MemorySinkFactory sinks;
        sinks.options = c.options;
        MovieEngine engine;
        engine.setAudioSinkFactory(sinks.factory());
        const std::string path = makeMovie(c.tone ? "tone.avi" : "mute.avi", toneRecipe(c.tone));
        ASSERT_TRUE(openAndWait(engine, QString::fromStdString(path)));
        EventLog log(engine);
        EXPECT_EQ(engine.hasSound(), c.tone);
        engine.setRate(c.rate);
        engine.Run();
        ASSERT_TRUE(waitUntil([&] { return engine.CurrentState() == kStopped; }));
        EXPECT_EQ(log.events, (Events{"state 0 2", "state 2 0"}));
        EXPECT_EQ(engine.currentFrame(), 39);
        EXPECT_FALSE(engine.soundLeads());
        size_t heard = 0;
        for (const auto& l : *sinks.logs)
            heard += l->samples.size();
        if (c.options.failAfterMs >= 0 || c.options.stickAfterMs >= 0) {
            EXPECT_GE(heard, size_t(kRate * 3 / 10));
            EXPECT_LT(heard, size_t(40 * kSpf));
        } else {
            EXPECT_EQ(heard, 0u);
        }
    }
}

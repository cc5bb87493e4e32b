// The sound decoder on the test movies' tone tracks, and the click sound of the sound service
// played into a memory sink.
#include "TestApplication.h"
#include "platform/audio/MemoryAudioSink.h"
#include "platform/audio/SoundDecoder.h"
#include "platform/audio/SoundFilePlayer.h"
#include "platform/sound/SoundService.h"
#include "testing/moviegen/MovieGen.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

using namespace qxm;
using namespace qxm::audio;

namespace {

std::string tempPath(const std::string& name) {
    static QTemporaryDir dir;
    return (std::filesystem::path(dir.path().toStdString()) / name).string();
}

// A PCM WAV file with the given interleaved samples.
std::string writeWav(const std::string& name, int rate, int channels,
                     const std::vector<int16_t>& samples) {
    const std::string path = tempPath(name);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t bytes = uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(uint16_t(channels));
    u32(uint32_t(rate));
    u32(uint32_t(rate * channels * 2));
    u16(uint16_t(channels * 2));
    u16(16);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
    return path;
}

std::vector<int16_t> pattern(size_t count) {
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = int16_t((i * 7919) % 20000 - 10000);
    return s;
}

} // namespace

// Every kind that carries a tone: each frame's stretch of sound has that frame's tone, also
// after seeking forwards and backwards.
TEST(SoundDecoder, GivesEachFramesToneInEveryKindAndAfterSeeking) {
    struct Case {
        const char* kind;
        const char* file;
    };
    for (const Case c : {Case{"avi-bgr24", "tone.avi"}, Case{"mpg-mpeg1", "tone.mpg"},
                         Case{"mov-mjpeg", "tone.mov"}}) {
        SCOPED_TRACE(c.kind);
        moviegen::MovieRecipe recipe;
        recipe.kind = c.kind;
        recipe.width = 96;
        recipe.height = 72;
        recipe.frames = 40;
        recipe.fps = 25;
        recipe.toneRate = 48000;
        const std::string path = tempPath(c.file);
        std::string error;
        ASSERT_TRUE(moviegen::writeMovie(path, recipe, error)) << error;

        auto decoder = SoundDecoder::open(path);
        ASSERT_TRUE(decoder);
        EXPECT_EQ(decoder->format(), (AudioFormat{48000, 1}));
        const int spf = 48000 / 25;
        std::vector<int16_t> all;
        while (decoder->read(all, 4096) > 0) {
        }
        EXPECT_NEAR(double(all.size()), 40.0 * spf, 1152.0); // MPEG audio ends on a block
        auto toneAt = [&](const std::vector<int16_t>& s, size_t from) {
            return moviegen::toneFrameOf(s.data() + from, spf / 2, 48000);
        };
        for (int n : {0, 1, 7, 16, 39})
            EXPECT_EQ(toneAt(all, size_t(n) * spf + spf / 4), n % 16) << "frame " << n;

        for (int n : {23, 3, 31}) {
            ASSERT_TRUE(decoder->seek(int64_t(n) * spf));
            EXPECT_EQ(decoder->position(), int64_t(n) * spf);
            std::vector<int16_t> part;
            ASSERT_EQ(decoder->read(part, spf), spf);
            EXPECT_EQ(toneAt(part, spf / 4), n % 16) << "after seeking to frame " << n;
        }
    }
}

TEST(SoundDecoder, RefusesFilesWithoutSound) {
    moviegen::MovieRecipe recipe;
    recipe.frames = 3;
    const std::string silent = tempPath("silent.avi");
    std::string error;
    ASSERT_TRUE(moviegen::writeMovie(silent, recipe, error)) << error;
    std::string why;
    EXPECT_FALSE(SoundDecoder::open(silent, &why));
    EXPECT_EQ(why, "no sound track");
    EXPECT_FALSE(SoundDecoder::open(tempPath("missing.wav")));
    const std::string text = tempPath("text.wav");
    std::ofstream(text) << "not a sound";
    EXPECT_FALSE(SoundDecoder::open(text));
}

// The click sound: the service records the request and the player plays the file's samples
// into the output, whole and in order; an empty request stops a sound midway; a missing file
// plays nothing.
TEST(ClickSound, PlaysTheFilesSamplesAndStopsOnAnEmptyRequest) {
    testApplication();
    MemorySinkFactory sinks;
    installSoundPlayer(sinks.factory());
    sound::clearRequests();

    const std::vector<int16_t> shortSound = pattern(2 * 11025 / 4); // 0.25 s stereo at 11025
    const std::string click = writeWav("click.wav", 11025, 2, shortSound);
    ASSERT_TRUE(sound::playSound(click, true, true));
    ASSERT_EQ(sinks.logs->size(), 1u);
    auto log = sinks.last();
    EXPECT_EQ(log->format, (AudioFormat{11025, 2}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log->closed; }, 5000));
    EXPECT_EQ(log->samples, shortSound);

    // A long sound stops on an empty request and is heard no further.
    const std::vector<int16_t> longSound = pattern(3 * 22050); // 3 s mono at 22050
    const std::string chime = writeWav("chime.wav", 22050, 1, longSound);
    ASSERT_TRUE(sound::playSound(chime, true, true));
    QTest::qWait(200);
    ASSERT_TRUE(sound::playSound("", false, false));
    log = sinks.last();
    EXPECT_TRUE(log->closed);
    const size_t heard = log->samples.size();
    EXPECT_GT(heard, 0u);
    EXPECT_LT(heard, longSound.size() / 2);
    EXPECT_TRUE(std::equal(log->samples.begin(), log->samples.end(), longSound.begin()));
    QTest::qWait(100);
    EXPECT_EQ(log->samples.size(), heard);

    // No default sound for a missing file.
    const size_t writes = log->chunks.size();
    EXPECT_FALSE(sound::playSound(tempPath("nothing.wav"), true, true));
    EXPECT_EQ(sinks.last()->chunks.size(), writes);

    EXPECT_EQ(sound::requests(),
              (std::vector<sound::SoundRequest>{{click, true, true},
                                                {chime, true, true},
                                                {"", false, false},
                                                {tempPath("nothing.wav"), true, true}}));
    sound::clearRequests();
}

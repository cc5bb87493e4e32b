// qxmanchor publish run as an author runs it: what lands in the folder, and that the published
// movie holds exactly the source's frames, each at its own number.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ToolTestUtil.h"
#include "platform/video/FrameSource.h"
#include "testing/moviegen/MovieGen.h"
#include "tools/anchor/Publish.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

using namespace qxm::anchortool;
using namespace qxm::anchortool::testing;
namespace fs = std::filesystem;

namespace {

std::string writeBarcodedMovie(const TempDir& dir, const std::string& name, int frames) {
    qxm::moviegen::MovieRecipe recipe;
    recipe.kind = "avi-bgr24";
    recipe.width = 160;
    recipe.height = 120;
    recipe.frames = frames;
    recipe.fps = 30;
    std::string error;
    const std::string path = dir.file(name);
    EXPECT_TRUE(qxm::moviegen::writeMovie(path, recipe, error)) << error;
    return path;
}

// Frame count and rate of a movie, and the barcode read from every frame.
struct Readback {
    qxm::video::MovieInfo info;
    std::vector<int> numbers;
};

Readback readBack(const std::string& path) {
    Readback r;
    qxm::video::OpenStatus status = qxm::video::OpenStatus::Ok;
    std::string message;
    const auto source = qxm::video::FrameSource::open(path, status, &message);
    EXPECT_TRUE(source) << path << ": " << message;
    if (!source) return r;
    r.info = source->info();
    std::vector<std::uint8_t> bgr;
    for (int n = 0; n < r.info.frameCount; ++n) {
        EXPECT_TRUE(source->readBgr(n, bgr));
        r.numbers.push_back(
            qxm::moviegen::readBarcode(bgr.data(), r.info.width, r.info.height, r.info.width * 3));
    }
    return r;
}

// The first sound stream of a movie decoded to mono 16-bit samples at `rate`, and its codec.
std::vector<std::int16_t> decodeSound(const std::string& path, int rate, std::string& codec) {
    std::vector<std::int16_t> out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return out;
    const AVCodec* decoder = nullptr;
    const int index = avformat_find_stream_info(fmt, nullptr) < 0
                          ? -1
                          : av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    AVCodecContext* dec = index >= 0 ? avcodec_alloc_context3(decoder) : nullptr;
    SwrContext* swr = nullptr;
    if (dec && avcodec_parameters_to_context(dec, fmt->streams[index]->codecpar) >= 0 &&
        avcodec_open2(dec, decoder, nullptr) >= 0) {
        codec = avcodec_get_name(dec->codec_id);
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, rate, &dec->ch_layout, dec->sample_fmt,
                            dec->sample_rate, 0, nullptr);
        swr_init(swr);
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        auto take = [&] {
            while (avcodec_receive_frame(dec, frame) >= 0) {
                std::vector<std::int16_t> buf(swr_get_out_samples(swr, frame->nb_samples));
                auto* dst = reinterpret_cast<std::uint8_t*>(buf.data());
                const int n = swr_convert(swr, &dst, static_cast<int>(buf.size()),
                                          const_cast<const std::uint8_t**>(frame->extended_data),
                                          frame->nb_samples);
                out.insert(out.end(), buf.begin(), buf.begin() + std::max(0, n));
            }
        };
        while (av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == index && avcodec_send_packet(dec, pkt) >= 0) take();
            av_packet_unref(pkt);
        }
        avcodec_send_packet(dec, nullptr);
        take();
        av_frame_free(&frame);
        av_packet_free(&pkt);
    }
    swr_free(&swr);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return out;
}

const std::string kAnchors = "MaxObject=1\r\n\r\n[CAR:A car:0-39:2]\r\n0:1,2,30,40;\r\n"
                             "39:50,20,80,60;\r\n";

TEST(AnchorToolPublish, EveryFrameKeepsItsNumberInBothFormats) {
    TempDir dir;
    const std::string movie = writeBarcodedMovie(dir, "my clip.avi", 40);
    dir.write("my clip.obj", kAnchors);
    for (const std::string format : {"mp4", "webm"}) {
        SCOPED_TRACE(format);
        const std::string out = dir.file("site-" + format);
        const ToolRun run = qxmanchor({"publish", movie, "-o", out, "--format", format});
        ASSERT_EQ(run.exitCode, 0) << run.all();
        EXPECT_NE(run.out.find("40 frames, 160x120, 30 frames a second; 1 anchors"),
                  std::string::npos)
            << run.out;

        const Readback back = readBack(out + "/my clip." + format);
        EXPECT_EQ(back.info.frameCount, 40);
        EXPECT_EQ(back.info.fpsNum * 1.0 / back.info.fpsDen, 30.0);
        std::vector<int> expected(40);
        for (int n = 0; n < 40; ++n)
            expected[n] = n;
        EXPECT_EQ(back.numbers, expected);

        // The anchors under the name the web player derives, the player and the page.
        EXPECT_EQ(dir.read("site-" + format + "/my clip.obj"), kAnchors);
        EXPECT_TRUE(fs::is_regular_file(out + "/qxm-movie.js"));
        const std::string page = dir.read("site-" + format + "/index.html");
        EXPECT_NE(page.find("<qxm-movie movie-file=\"my%20clip." + format +
                            "\" frame-rate=\"30\" show-anchor></qxm-movie>"),
                  std::string::npos)
            << page;
        EXPECT_NE(page.find("<script type=\"module\" src=\"qxm-movie.js\"></script>"),
                  std::string::npos);
    }
}

TEST(AnchorToolPublish, SoundTrackComesAlongInStepWithThePictures) {
    TempDir dir;
    qxm::moviegen::MovieRecipe recipe;
    recipe.kind = "avi-mjpeg";
    recipe.frames = 50;
    recipe.fps = 25;
    recipe.toneRate = 22050;
    std::string error;
    ASSERT_TRUE(qxm::moviegen::writeMovie(dir.file("tone.avi"), recipe, error)) << error;
    for (const std::string format : {"mp4", "webm"}) {
        SCOPED_TRACE(format);
        const ToolRun run = qxmanchor(
            {"publish", dir.file("tone.avi"), "-o", dir.file(format), "--format", format});
        ASSERT_EQ(run.exitCode, 0) << run.all();
        EXPECT_NE(run.out.find("with sound"), std::string::npos) << run.out;
        std::string codec;
        const std::vector<std::int16_t> sound =
            decodeSound(dir.file(format + "/tone." + format), 22050, codec);
        EXPECT_EQ(codec, format == "mp4" ? "aac" : "opus");
        // Two seconds of sound, each frame's tone in its own frame's time (away from the
        // frame's edges, which codecs smear).
        EXPECT_NEAR(static_cast<double>(sound.size()), 2.0 * 22050, 0.05 * 22050);
        const int perFrame = 22050 / 25;
        for (int n : {3, 17, 30, 46}) {
            const std::size_t from = static_cast<std::size_t>(n * perFrame + perFrame / 4);
            ASSERT_LT(from + perFrame / 2, sound.size());
            EXPECT_EQ(qxm::moviegen::toneFrameOf(sound.data() + from, perFrame / 2, 22050),
                      n % qxm::moviegen::kToneFrames)
                << "frame " << n;
        }
    }
}

TEST(AnchorToolPublish, MovieObjectFileGivesItsAnchorsAndOrigin) {
    TempDir dir;
    writeBarcodedMovie(dir, "clip.avi", 20);
    const std::string mob = dir.write("scene.mob", "MovieFile=clip.avi\r\nStartFrame=5\r\n"
                                                   "EndFrame=15\r\n");
    dir.write("scene.obj", "MaxObject=1\r\n\r\n[A:a:0-10:2]\r\n0:0,0,9,9;\r\n10:9,9,19,19;\r\n");
    const ToolRun run = qxmanchor({"publish", mob, "-o", dir.file("site")});
    ASSERT_EQ(run.exitCode, 0) << run.all();
    // The whole movie, with anchor frame 0 at the working range's first frame.
    EXPECT_EQ(readBack(dir.file("site/clip.mp4")).info.frameCount, 20);
    EXPECT_EQ(dir.read("site/clip.obj"), dir.read("scene.obj"));
    EXPECT_NE(dir.read("site/index.html").find("anchor-frame-origin=\"5\""), std::string::npos);
}

TEST(AnchorToolPublish, RefusesWhatTheWebPlayerWouldRefuse) {
    TempDir dir;
    const std::string movie = writeBarcodedMovie(dir, "clip.avi", 10);
    dir.write("clip.obj", "[A:a:0-9:2]\n5:0,0,1,1;\n4:0,0,1,1;\n");
    ToolRun run = qxmanchor({"publish", movie, "-o", dir.file("site")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("clip.obj:3: the web player refuses"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.file("site/clip.mp4")));
    EXPECT_FALSE(fs::exists(dir.file("site/index.html")));

    run = qxmanchor({"publish", dir.file("missing.avi"), "-o", dir.file("site")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
    run = qxmanchor({"publish", movie, "-o", dir.file("site"), "--format", "avi"});
    EXPECT_EQ(run.exitCode, 2);
    run = qxmanchor({"publish", movie});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("publish needs -o DIR"), std::string::npos) << run.err;
}

TEST(AnchorToolPublish, MovieWithoutAnchorsIsPublishedWithAWarning) {
    TempDir dir;
    const std::string movie = writeBarcodedMovie(dir, "plain.avi", 5);
    const ToolRun run = qxmanchor({"publish", movie, "-o", dir.file("site")});
    ASSERT_EQ(run.exitCode, 0) << run.all();
    EXPECT_NE(run.err.find("has no anchor object file"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir.file("site/plain.mp4")));
    EXPECT_FALSE(fs::exists(dir.file("site/plain.obj")));
}

TEST(AnchorToolPublish, PageEscapesTheTitleAndEncodesTheMovieName) {
    EXPECT_EQ(urlEncodeName("a b#c?d%e&f\"g.mp4"), "a%20b%23c%3Fd%25e%26f%22g.mp4");
    EXPECT_EQ(urlEncodeName("\xC3\xA9t\xC3\xA9.mp4"), "%C3%A9t%C3%A9.mp4");
    const std::string page = publishedPage("<b>&\"", "x\".mp4", "30000/1001", 0);
    EXPECT_NE(page.find("<title>&lt;b&gt;&amp;&quot;</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("movie-file=\"x%22.mp4\" frame-rate=\"30000/1001\""), std::string::npos);
    EXPECT_EQ(page.find("anchor-frame-origin"), std::string::npos);
}

} // namespace

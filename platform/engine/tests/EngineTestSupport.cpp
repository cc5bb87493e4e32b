#include "EngineTestSupport.h"

#include "TestApplication.h"

#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace qxm::engine::test {

std::string tempPath(const std::string& name) {
    static QTemporaryDir dir;
    return (std::filesystem::path(dir.path().toStdString()) / name).string();
}

std::string makeMovie(const std::string& name, const moviegen::MovieRecipe& movieRecipe) {
    static std::map<std::string, std::string> made;
    if (auto it = made.find(name); it != made.end()) return it->second;
    const std::string path = tempPath(name);
    std::string error;
    if (!moviegen::writeMovie(path, movieRecipe, error))
        ADD_FAILURE() << "cannot write " << path << ": " << error;
    made[name] = path;
    return path;
}

int barcodeOf(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    return moviegen::readBarcode(bgr.constBits(), bgr.width(), bgr.height(),
                                 int(bgr.bytesPerLine()));
}

bool waitUntil(const std::function<bool()>& pred, int boundMs) {
    testApplication();
    return QTest::qWaitFor(pred, boundMs);
}

bool openAndWait(MovieEngine& engine, const QString& path) {
    bool done = false;
    const auto connection =
        QObject::connect(&engine, &MovieEngine::openComplete, [&done] { done = true; });
    engine.setFileName(path);
    const bool ok = waitUntil([&] { return done; });
    QObject::disconnect(connection);
    return ok;
}

namespace {

class FakeSource : public video::FrameSource {
public:
    explicit FakeSource(const FakeMovie& movie) : movie_(movie) {
        info_.frameCount = movie.movieRecipe.frames;
        info_.width = movie.movieRecipe.width;
        info_.height = movie.movieRecipe.height;
        info_.fpsNum = movie.movieRecipe.fps;
        info_.fpsDen = 1;
        info_.kind = "fake";
    }
    const video::MovieInfo& info() const override { return info_; }
    bool read(int32_t n, video::Frame& out) override {
        out.kind = video::Frame::Kind::Bgr24;
        out.width = info_.width;
        out.height = info_.height;
        return readBgr(n, out.pixels);
    }
    bool readBgr(int32_t n, std::vector<uint8_t>& out) override {
        ++*movie_.decodes;
        if (movie_.decodeDelay.count() > 0) std::this_thread::sleep_for(movie_.decodeDelay);
        if (n < 0 || n >= info_.frameCount) return false;
        for (int f : movie_.failing)
            if (f == n) return false;
        moviegen::renderFrame(movie_.movieRecipe, n, out);
        return true;
    }

private:
    FakeMovie movie_;
    video::MovieInfo info_;
};

} // namespace

MovieEngine::SourceOpener fakeOpener(const FakeMovie& movie) {
    return [movie](const std::string&, video::OpenStatus& status, std::string*,
                   const video::Progress& progress) -> std::unique_ptr<video::FrameSource> {
        if (movie.beforeOpen) movie.beforeOpen();
        if (progress) {
            progress(0, 100);
            progress(100, 100);
        }
        status = video::OpenStatus::Ok;
        return std::make_unique<FakeSource>(movie);
    };
}

EventLog::EventLog(MovieEngine& engine, bool cancelDisplay) {
    auto add = [this](std::string e) { events.push_back(std::move(e)); };
    QObject::connect(&engine, &MovieEngine::stateChange, [add](int o, int n) {
        add("state " + std::to_string(o) + " " + std::to_string(n));
    });
    QObject::connect(&engine, &MovieEngine::positionChange, [add](double o, double n) {
        add("pos " + std::to_string(int(o)) + " " + std::to_string(int(n)));
    });
    QObject::connect(&engine, &MovieEngine::openComplete, [add] { add("open"); });
    QObject::connect(
        &engine, &MovieEngine::error,
        [add, cancelDisplay](short code, const QString&, const QString&, bool* cancel) {
            add("error " + std::to_string(code));
            *cancel = cancelDisplay;
        });
    auto mouse = [add](const char* what) {
        return [add, what](short b, short s, int x, int y) {
            add(std::string(what) + " " + std::to_string(b) + " " + std::to_string(s) + " " +
                std::to_string(x) + " " + std::to_string(y));
        };
    };
    QObject::connect(&engine, &MovieEngine::mouseDown, mouse("down"));
    QObject::connect(&engine, &MovieEngine::mouseMove, mouse("move"));
    QObject::connect(&engine, &MovieEngine::mouseUp, mouse("up"));
    QObject::connect(&engine, &MovieEngine::dblClick, [add] { add("dbl"); });
    QObject::connect(&engine, &MovieEngine::timer, [this] { ++timers; });
}

std::vector<std::string> EventLog::matching(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
}

int EventLog::count(const std::string& event) const {
    return int(std::count(events.begin(), events.end(), event));
}

} // namespace qxm::engine::test

#include "player_control/control/tests/ControlTestSupport.h"

#include "TestApplication.h"

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <fstream>
#include <random>

#include "platform/sound/SoundService.h"

namespace qxm::qxmovie::testing {

namespace fs = std::filesystem;

void ControlTest::SetUp() {
    testApplication();
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("qxm-control-" + std::to_string(rd()));
    fs::create_directories(dir_);
    sound::clearRequests();
}

void ControlTest::TearDown() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string ControlTest::writeMovie(const std::string& name, int frames, int width, int height) {
    moviegen::MovieRecipe movieRecipe;
    movieRecipe.frames = frames;
    movieRecipe.width = width;
    movieRecipe.height = height;
    const std::string path = (dir_ / name).string();
    std::string error;
    EXPECT_TRUE(moviegen::writeMovie(path, movieRecipe, error)) << error;
    return path;
}

void ControlTest::writeAnchors(const std::string& moviePath,
                               std::vector<anchors::AnchorRecord> records) {
    const fs::path p(moviePath);
    ASSERT_TRUE(anchors::WriteAnchorObjectFile(p.parent_path().string(), p.stem().string(),
                                               std::move(records)));
}

void ControlTest::writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::unique_ptr<CQXMovieCtrl> ControlTest::makeControl(const QXMovieState& state,
                                                       IControlSite* site) {
    auto control = std::make_unique<CQXMovieCtrl>();
    control->setSite(site);
    control->loadState(state);
    EXPECT_EQ(control->createControlWindow(), 0);
    control->show();
    return control;
}

bool ControlTest::waitFor(const std::function<bool()>& condition, int ms) {
    return QTest::qWaitFor(condition, ms);
}

bool ControlTest::openMovie(CQXMovieCtrl& control, const std::string& path) {
    EventRecorder rec(control);
    ExcepInfo info;
    if (put(control, "MovieFile", Variant(path), &info) != S_OK) return false;
    return waitFor([&] { return rec.count(EVENTID_OpenComplete) > 0; });
}

QPoint ControlTest::windowPointFor(const CQXMovieCtrl& control, int x, int y) {
    const auto* r = control.rendererWindow();
    const double sx = double(control.ImageSourceWidth()) / r->width();
    const double sy = double(control.ImageSourceHeight()) / r->height();
    // The smallest window pixel whose picture pixel is (x, y).
    int wx = int(x / sx), wy = int(y / sy);
    while (int(wx * sx) < x)
        ++wx;
    while (int(wy * sy) < y)
        ++wy;
    return {wx, wy};
}

Variant get(CQXMovieCtrl& control, const char* name) {
    Variant v;
    ExcepInfo info;
    const HRESULT hr = dispGet(*control.dispatch(), name, v, &info);
    EXPECT_EQ(hr, S_OK) << name << ": " << info.description;
    return v;
}

HRESULT put(CQXMovieCtrl& control, const char* name, const Variant& value, ExcepInfo* excep) {
    return dispPut(*control.dispatch(), name, value, excep);
}

anchors::AnchorRecord anchorRecord(const std::string& id, const std::string& name,
                                   std::vector<anchors::FrameEntry> entries) {
    return anchors::MakeAnchorRecord(id, name, std::move(entries));
}

} // namespace qxm::qxmovie::testing

#include "player_control/control/tests/ControlTestSupport.h"

#include "TestApplication.h"

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/sound/SoundService.h"
#include "player_control/anchors/AnchorText.h"

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
                               const std::vector<TestAnchor>& anchors) {
    std::ostringstream text;
    text << "MaxObject=" << anchors.size() << "\r\n";
    for (const TestAnchor& a : anchors) {
        ASSERT_FALSE(a.frames.empty()) << a.id;
        text << "\r\n[" << a.id << ':' << a.name << ':' << a.frames.front().frame << '-'
             << a.frames.back().frame << ':' << a.frames.size() << "]\r\n";
        for (const TestAnchorFrame& f : a.frames)
            text << f.frame << ':' << f.left << ',' << f.top << ',' << f.right << ',' << f.bottom
                 << ";\r\n";
    }
    const std::string path = anchorFilePath(moviePath);
    std::ofstream out(path, std::ios::binary);
    out << text.str();
    out.close();
    ASSERT_TRUE(out) << path;
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

TestAnchor anchorRecord(const std::string& id, const std::string& name,
                        std::vector<TestAnchorFrame> frames) {
    return {id, name, std::move(frames)};
}

} // namespace qxm::qxmovie::testing

#pragma once
// Shared pieces of the control's tests: a temporary folder with movies from the test-movie
// writer and anchor object files written as the editor writes them, an event recorder connected as
// a sink, and a control created the way a container creates it.
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/component/Dispatch.h"
#include "player_control/control/CQXMovieCtrl.h"
#include "player_control/control/QXMovieTypeLib.h"
#include "testing/moviegen/MovieGen.h"

namespace qxm::qxmovie::testing {

// One anchor of a test's anchor object file: its ID, name and key frames; its range runs from
// the first key frame to the last.
struct TestAnchorFrame {
    int frame, left, top, right, bottom;
};
struct TestAnchor {
    std::string id;
    std::string name;
    std::vector<TestAnchorFrame> frames;
};

struct RecordedEvent {
    DispId id;
    std::vector<Variant> args;
    std::string text;
};

// Connects to a control's events and keeps them in order.
class EventRecorder {
public:
    explicit EventRecorder(CQXMovieCtrl& control) : source_(control.eventSource()) {
        sink_ = makeEventSink([this](DispId id, Args args) {
            events.push_back({id, {args.begin(), args.end()}, describeEvent(id, args)});
        });
        EXPECT_EQ(source_->advise(IID_NULL, sink_.get(), cookie_), S_OK);
    }
    ~EventRecorder() { source_->unadvise(cookie_); }

    std::vector<std::string> texts(bool withTimerAndMoves = false) const {
        std::vector<std::string> out;
        for (const RecordedEvent& e : events)
            if (withTimerAndMoves || (e.id != EVENTID_OnTimer && e.id != EVENTID_MouseMove &&
                                      e.id != EVENTID_OnPositionChange))
                out.push_back(e.text);
        return out;
    }
    // The texts of the events with one of the ids.
    std::vector<std::string> only(std::initializer_list<DispId> ids) const {
        std::vector<std::string> out;
        for (const RecordedEvent& e : events)
            for (DispId id : ids)
                if (e.id == id) out.push_back(e.text);
        return out;
    }
    std::size_t count(DispId id) const {
        std::size_t n = 0;
        for (const RecordedEvent& e : events)
            n += e.id == id;
        return n;
    }
    void clear() { events.clear(); }

    std::vector<RecordedEvent> events;

private:
    ComPtr<IEventSource> source_;
    ComPtr<IDispatch> sink_;
    std::uint32_t cookie_ = 0;
};

// A container with a page location, design mode and size requests it can refuse.
class TestSite : public IControlSite {
public:
    std::optional<std::string> location;
    bool user = true;
    bool grantSizes = true;
    std::vector<QSize> requested;
    std::vector<DispId> changed;
    int propertiesShown = 0;

    std::optional<std::string> pageLocation() const override { return location; }
    bool userMode() const override { return user; }
    void requestNewSize(CQXMovieCtrl& control, QSize size) override {
        requested.push_back(size);
        if (grantSizes) IControlSite::requestNewSize(control, size);
    }
    void propertyChanged(DispId id) override { changed.push_back(id); }
    void showProperties(CQXMovieCtrl&) override { ++propertiesShown; }
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes <dir>/<name> with the writer (avi-bgr24, 160 x 120 unless said otherwise).
    std::string writeMovie(const std::string& name, int frames = 30, int width = 160,
                           int height = 120);
    // Writes the anchor object file of a movie (its path with ".obj" for the extension) in the
    // editor's layout: the MaxObject line, then each anchor's header and key frames.
    void writeAnchors(const std::string& moviePath, const std::vector<TestAnchor>& anchors);
    // Writes a file with the given text (for malformed anchor files).
    void writeText(const std::string& path, const std::string& text);

    // A control created in a plain container (or with site), shown, window created.
    std::unique_ptr<CQXMovieCtrl> makeControl(const QXMovieState& state = {},
                                              IControlSite* site = nullptr);
    // Sets MovieFile through dispatch and waits for OpenComplete; false when it did not come.
    bool openMovie(CQXMovieCtrl& control, const std::string& path);
    static bool waitFor(const std::function<bool()>& condition, int ms = 15000);

    // A window point of the picture window that lies on picture pixel (x, y).
    static QPoint windowPointFor(const CQXMovieCtrl& control, int x, int y);

    std::filesystem::path dir_;
};

// dispGet by name that fails the test on an error.
Variant get(CQXMovieCtrl& control, const char* name);
HRESULT put(CQXMovieCtrl& control, const char* name, const Variant& value,
            ExcepInfo* excep = nullptr);

TestAnchor anchorRecord(const std::string& id, const std::string& name,
                        std::vector<TestAnchorFrame> frames);

} // namespace qxm::qxmovie::testing

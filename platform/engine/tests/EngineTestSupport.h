#pragma once
// Shared helpers of the engine tests: the application object, small generated movies, a
// scripted frame source and a log of the engine's events.
#include "TestApplication.h"
#include "platform/engine/MovieEngine.h"
#include "testing/moviegen/MovieGen.h"

#include <QApplication>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qxm::engine::test {

// A fixture's first member: creates the application before the fixture's widgets.
struct AppFirst {
    AppFirst() { testApplication(); }
};

// A movie written once per test program into a private temporary folder.
std::string makeMovie(const std::string& name, const moviegen::MovieRecipe& movieRecipe);
std::string tempPath(const std::string& name);

// Frame number read from the barcode of a picture (any format); -1 when unreadable.
int barcodeOf(const QImage& image);

// Waits, running the event loop, until pred holds; false after a generous bound.
bool waitUntil(const std::function<bool()>& pred, int boundMs = 20000);

// Opens `path` in the engine and waits for open complete.
bool openAndWait(MovieEngine& engine, const QString& path);

// A frame source that renders barcode frames without a file; decoding of frames listed in
// `failing` fails, and each decode takes `decodeDelay`.
struct FakeMovie {
    moviegen::MovieRecipe movieRecipe;
    std::vector<int> failing;
    std::chrono::milliseconds decodeDelay{0};
    std::function<void()> beforeOpen; // runs on the opening thread
    std::shared_ptr<std::atomic<int>> decodes = std::make_shared<std::atomic<int>>(0);
};
MovieEngine::SourceOpener fakeOpener(const FakeMovie& movie);

// Every event of an engine as text: "state 0 2", "pos 3 7", "open", "error 1", "down 1 0 5 6",
// "move ...", "up ...", "dbl". Timer events are only counted.
class EventLog {
public:
    explicit EventLog(MovieEngine& engine, bool cancelDisplay = true);
    std::vector<std::string> events;
    int timers = 0;
    std::vector<std::string> matching(const std::string& prefix) const;
    int count(const std::string& event) const;
};

} // namespace qxm::engine::test

// A stand-in for the tracking library with its five exports. Every call is written as one
// line to the file named by QXM_FAKE_TRACK_LOG; results come from the environment:
//   QXM_FAKE_TRACK_INIT     InitSetAuto's result (default 0)
//   QXM_FAKE_TRACK_EXEC     ExecSetAuto's result (default 0)
//   QXM_FAKE_TRACK_RECORDS  records ExecSetAuto hands out, whatever its result:
//                           "frame left top right bottom" separated by ';' (default none)
//   QXM_FAKE_TRACK_SLEEP_MS ExecSetAuto's duration (default 0)
//   QXM_FAKE_TRACK_PROMPT   a message ExecSetAuto shows through the prompter first
// Built without GetSetAutoErrorString when QXM_FAKE_TRACK_PARTIAL is defined.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/prompter/Prompter.h"
#include "tracking/include/qxmtrack.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

int32_t envNumber(const char* name) {
    const std::string v = env(name);
    return v.empty() ? 0 : int32_t(std::stol(v));
}

void log(const std::string& line) {
    const std::string path = env("QXM_FAKE_TRACK_LOG");
    if (path.empty()) return;
    std::ofstream(path, std::ios::app) << line << '\n';
}

std::vector<SetAutoAnchorRecord> scriptedRecords() {
    std::vector<SetAutoAnchorRecord> out;
    std::istringstream all(env("QXM_FAKE_TRACK_RECORDS"));
    std::string one;
    while (std::getline(all, one, ';')) {
        std::istringstream fields(one);
        SetAutoAnchorRecord r{};
        if (fields >> r.frame >> r.left >> r.top >> r.right >> r.bottom) out.push_back(r);
    }
    return out;
}

// Arrays handed out and not yet given back.
std::mutex g_mutex;
std::set<SetAutoAnchorRecord*> g_live;

} // namespace

extern "C" {

int32_t InitSetAuto(const char* moviePath, const char* iniPath) {
    log(std::string("InitSetAuto ") + (moviePath ? moviePath : "null") + " " +
        (iniPath ? iniPath : "null"));
    return envNumber("QXM_FAKE_TRACK_INIT");
}

int32_t ExitSetAuto(void) {
    log("ExitSetAuto");
    return 0;
}

int32_t ExecSetAuto(int32_t startFrame, int32_t endFrame, int32_t sLeft, int32_t sTop,
                    int32_t sRight, int32_t sBottom, int32_t eLeft, int32_t eTop, int32_t eRight,
                    int32_t eBottom, int32_t* count, SetAutoAnchorRecord** records) {
    std::ostringstream call;
    call << "ExecSetAuto " << startFrame << ' ' << endFrame << ' ' << sLeft << ' ' << sTop << ' '
         << sRight << ' ' << sBottom << ' ' << eLeft << ' ' << eTop << ' ' << eRight << ' '
         << eBottom;
    log(call.str());
    *count = 0;
    *records = nullptr;
    if (const std::string text = env("QXM_FAKE_TRACK_PROMPT"); !text.empty())
        qxm::prompt(text, "qxmtrack");
    std::this_thread::sleep_for(std::chrono::milliseconds(envNumber("QXM_FAKE_TRACK_SLEEP_MS")));

    const std::vector<SetAutoAnchorRecord> scripted = scriptedRecords();
    if (!scripted.empty()) {
        auto array = std::make_unique<SetAutoAnchorRecord[]>(scripted.size());
        std::copy(scripted.begin(), scripted.end(), array.get());
        *count = int32_t(scripted.size());
        *records = array.release();
        std::lock_guard lock(g_mutex);
        g_live.insert(*records);
    }
    const int32_t code = envNumber("QXM_FAKE_TRACK_EXEC");
    log("ExecSetAuto returns " + std::to_string(code));
    return code;
}

int32_t FreeSetAutoAnchorData(SetAutoAnchorRecord* records) {
    std::unique_ptr<SetAutoAnchorRecord[]> owned;
    {
        std::lock_guard lock(g_mutex);
        if (g_live.erase(records) == 1) owned.reset(records);
    }
    const bool known = owned != nullptr;
    log(std::string("FreeSetAutoAnchorData ") + (known ? "records" : records ? "unknown" : "null"));
    return 0;
}

#ifndef QXM_FAKE_TRACK_PARTIAL
int32_t GetSetAutoErrorString(int32_t code, char* buffer) {
    log("GetSetAutoErrorString " + std::to_string(code));
    std::snprintf(buffer, 100, "fake message %ld", long(code));
    return 1;
}
#endif

} // extern "C"

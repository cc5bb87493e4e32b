#include "platform/profile/PrivateProfile.h"
#include "tracking/Codes.h"
#include "tracking/Params.h"
#include "tracking/include/qxmtrack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace qxm::track;
using qxm::profile::PrivateProfile;

namespace {

std::string message(int32_t code, int32_t* ret = nullptr) {
    char buf[128];
    std::memset(buf, 'x', sizeof buf);
    int32_t r = GetSetAutoErrorString(code, buf);
    if (ret) *ret = r;
    return buf;
}

int32_t readText(const std::string& body, Params& p) {
    return readParams(PrivateProfile::parse("[qxmtrack]\n" + body), p);
}

int32_t codeOf(const std::string& body) {
    Params p;
    return readText(body, p);
}

} // namespace

TEST(Messages, EveryGroupAndItsText) {
    int32_t r = -1;
    EXPECT_EQ(message(2, &r), "QXMTRACK.DLL completed.");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(message(0), "QXMTRACK.DLL completed.");
    EXPECT_EQ(message(-602, &r), "QXMTRACK.DLL Image Data Load Error RC=-602");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(message(-5, &r), "QXMTRACK.DLL RC=-5");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(message(3, &r), "QXMTRACK.DLL RC=3");
    EXPECT_EQ(r, 0);

    struct Case {
        int32_t code;
        const char* text;
    };
    const Case known[] = {
        {-1, "QXMTRACK.DLL Anchor Position Data Error RC=-1"},
        {-3, "QXMTRACK.DLL Anchor Position Data Error RC=-3"},
        {-101, "QXMTRACK.DLL Initialize Error RC=-101"},
        {-104, "QXMTRACK.DLL Initialize Error RC=-104"},
        {-111, "QXMTRACK.DLL Initialize Error RC=-111"},
        {-112, "QXMTRACK.DLL Initialize Error RC=-112"},
        {-121, "QXMTRACK.DLL Initialize Error RC=-121"},
        {-130, "QXMTRACK.DLL INI File (Matching Parameter) Read Error RC=-130"},
        {-140, "QXMTRACK.DLL INI File (Matching Parameter) Read Error RC=-140"},
        {-150, "QXMTRACK.DLL INI File (RGB Coefficient) Read Error RC=-150"},
        {-153, "QXMTRACK.DLL INI File (RGB Coefficient) Read Error RC=-153"},
        {-160, "QXMTRACK.DLL INI File (Other Parameters) Read Error RC=-160"},
        {-169, "QXMTRACK.DLL INI File (Other Parameters) Read Error RC=-169"},
        {-301, "QXMTRACK.DLL Automatic Setting Error RC=-301"},
        {-303, "QXMTRACK.DLL Automatic Setting Error RC=-303"},
        {-311, "QXMTRACK.DLL Automatic Setting Error RC=-311"},
        {-351, "QXMTRACK.DLL Automatic Setting Error RC=-351"},
        {-601, "QXMTRACK.DLL Image Data Load Error RC=-601"},
        {-611, "QXMTRACK.DLL Image Data Load Error RC=-611"},
        {-90001, "QXMTRACK.DLL Initialization Error RC=-90001"},
    };
    for (const Case& c : known) {
        EXPECT_EQ(message(c.code, &r), c.text);
        EXPECT_EQ(r, 1) << c.code;
    }
    // Gaps between the groups belong to no group.
    for (int32_t code :
         {-4,   -100, -105, -110, -113, -120, -122, -129, -141, -149, -154,   -159,   -170,
          -300, -304, -310, -312, -350, -352, -600, -604, -610, -612, -90000, -90002, INT32_MIN}) {
        EXPECT_EQ(message(code, &r), "QXMTRACK.DLL RC=" + std::to_string(code));
        EXPECT_EQ(r, 0) << code;
    }
    // The longest message with a ten-character number stays under 100 bytes.
    EXPECT_LT(message(-1000000000).size(), 100u);
    EXPECT_LT(errorString(-139).size() + 10, 100u);
    EXPECT_EQ(GetSetAutoErrorString(-601, nullptr), 1);
}

TEST(Messages, TimingTexts) {
    EXPECT_EQ(timeMessage(true, 1234), "Complete Automatic Setting; Time(ms)=1234");
    EXPECT_EQ(timeMessage(false, 0), "Error in Automatic Setting; Time(ms)=0");
}

TEST(ValueParsers, IntegersRealsAndSwitches) {
    int32_t i = 99;
    EXPECT_TRUE(parseInteger("-12", i));
    EXPECT_EQ(i, -12);
    EXPECT_TRUE(parseInteger("+7", i));
    EXPECT_EQ(i, 7);
    EXPECT_TRUE(parseInteger("2147483647", i));
    EXPECT_EQ(i, 2147483647);
    for (const char* bad : {"", "40px", "4 0", "0x10", "1.5", "2147483648", "-2147483649",
                            "99999999999999999999", "abc"}) {
        i = 5;
        EXPECT_FALSE(parseInteger(bad, i)) << bad;
        EXPECT_EQ(i, 5);
    }
    double d = 0;
    EXPECT_TRUE(parseReal("0.299", d));
    EXPECT_EQ(d, 0.299);
    EXPECT_TRUE(parseReal("1e2", d));
    EXPECT_EQ(d, 100.0);
    EXPECT_TRUE(parseReal("-3", d));
    EXPECT_EQ(d, -3.0);
    for (const char* bad : {"", "abc", "1.0x", "1,5", "."})
        EXPECT_FALSE(parseReal(bad, d)) << bad;
    bool b = false;
    EXPECT_TRUE(parseSwitch("on", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(parseSwitch("Off", b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(parseSwitch("ON", b));
    for (const char* bad : {"", "1", "0", "yes", "ONN", "O", "OF"})
        EXPECT_FALSE(parseSwitch(bad, b)) << bad;
}

TEST(ParamFile, MissingFileGivesEveryDefault) {
    Params p;
    p.frameStep = 0;
    p.red = 9;
    ASSERT_EQ(readParams(PrivateProfile::parse(""), p), 0);
    const Params d;
    EXPECT_EQ(p.searchWidth, 40);
    EXPECT_EQ(p.searchHeight, 40);
    EXPECT_FALSE(p.searchAll);
    EXPECT_EQ(p.acceptanceThreshold, 10.0);
    EXPECT_FALSE(p.useSecondPixel);
    EXPECT_EQ(p.firstLevel, 7);
    EXPECT_EQ(p.lastLevel, 0);
    EXPECT_EQ(p.red, 0.299);
    EXPECT_EQ(p.green, 0.587);
    EXPECT_EQ(p.blue, 0.114);
    EXPECT_EQ(p.frameStep, 5);
    EXPECT_TRUE(p.delMidle);
    EXPECT_EQ(p.acceptableDistance, 24.0);
    EXPECT_EQ(p.scoreTh, 20.0);
    EXPECT_EQ(p.modelRatio, 70.0);
    EXPECT_EQ(p.resultGood, 70.0);
    EXPECT_EQ(p.resultNoGood, 30.0);
    EXPECT_EQ(p.backwardSearch, 50.0);
    EXPECT_FALSE(p.showTime);
    EXPECT_EQ(readParamsFile("/nonexistent/folder/x.ini", p), 0);
}

TEST(ParamFile, EveryKeyIsReadAndStored) {
    Params p;
    ASSERT_EQ(readText("SearchWidth=3\nSearchHeight=4\nSearchAll=on\nAcceptanceThreshold=55.5\n"
                       "UseSecondPixelFlag=ON\nFirstLevel=5\nLastLevel=2\nRed=0.5\nGreen=0.25\n"
                       "Blue=0.125\nFrameStep=9\nDelMidleFlag=off\nAcceptableDistance=3.5\n"
                       "ScoreTh=1.5\nModelRatio=100\nResultGood=80\nResultNoGood=80\n"
                       "BackwardSearch=0\nShowTime=ON\n",
                       p),
              0);
    EXPECT_EQ(p.searchWidth, 3);
    EXPECT_EQ(p.searchHeight, 4);
    EXPECT_TRUE(p.searchAll);
    EXPECT_EQ(p.acceptanceThreshold, 55.5);
    EXPECT_TRUE(p.useSecondPixel);
    EXPECT_EQ(p.firstLevel, 5);
    EXPECT_EQ(p.lastLevel, 2);
    EXPECT_EQ(p.red, 0.5);
    EXPECT_EQ(p.green, 0.25);
    EXPECT_EQ(p.blue, 0.125);
    EXPECT_EQ(p.frameStep, 9);
    EXPECT_FALSE(p.delMidle);
    EXPECT_EQ(p.acceptableDistance, 3.5);
    EXPECT_EQ(p.scoreTh, 1.5);
    EXPECT_EQ(p.modelRatio, 100.0);
    EXPECT_EQ(p.resultGood, 80.0);
    EXPECT_EQ(p.resultNoGood, 80.0);
    EXPECT_EQ(p.backwardSearch, 0.0);
    EXPECT_TRUE(p.showTime);
}

TEST(ParamFile, EachKeyHasItsCodeAndRange) {
    struct Case {
        const char* body;
        int32_t code;
    };
    const Case cases[] = {
        {"SearchWidth=40px", -133},
        {"SearchWidth=0", 0},
        {"SearchWidth=-1", -133},
        {"SearchHeight=x", -134},
        {"SearchHeight=-5", -134},
        {"SearchAll=1", -135},
        {"SearchAll=on", 0},
        {"SearchAll=", -135},
        {"AcceptanceThreshold=100", 0},
        {"AcceptanceThreshold=100.01", -136},
        {"AcceptanceThreshold=-0.1", -136},
        {"AcceptanceThreshold=nan", -136},
        {"UseSecondPixelFlag=true", -138},
        {"FirstLevel=8", -139},
        {"FirstLevel=-1", -139},
        {"FirstLevel=0\nLastLevel=0", 0},
        {"FirstLevel=3\nLastLevel=4", -140},
        {"LastLevel=8", -140},
        {"LastLevel=-1", -140},
        {"Red=abc", -151},
        {"Red=-2.5", 0},
        {"Red=1e308", 0}, // finite; the products overflow, the gray value is still defined
        {"Red=nan", -151},
        {"Green=inf", -152},
        {"Blue=-infinity", -153},
        {"Green=", -152},
        {"Blue=1.0.0", -153},
        {"FrameStep=0", -161},
        {"FrameStep=1", 0},
        {"FrameStep=2147483647", 0},
        {"FrameStep=5.0", -161},
        {"DelMidleFlag=no", -162},
        {"AcceptableDistance=-1", -163},
        {"AcceptableDistance=0", 0},
        {"ScoreTh=-0.5", -164},
        {"ModelRatio=0", -165},
        {"ModelRatio=100", 0},
        {"ModelRatio=100.5", -165},
        {"ResultGood=101", -166},
        {"ResultGood=50\nResultNoGood=60", -167},
        {"ResultNoGood=-1", -167},
        {"BackwardSearch=100.1", -168},
        {"BackwardSearch=100", 0},
        {"ShowTime=2", -169},
        {"Accuracy=whatever\nSpeedFactor=\nCertaintyThreshold=not a number", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(codeOf(c.body), c.code) << c.body;
}

TEST(ParamFile, FirstErrorStopsTheReading) {
    Params p;
    p.frameStep = 0;
    p.green = -7;
    ASSERT_EQ(readText("SearchWidth=11\nFirstLevel=4\nLastLevel=1\nRed=abc\nGreen=0.9\n"
                       "FrameStep=3\n",
                       p),
              -151);
    // The matching group was read and stored.
    EXPECT_EQ(p.searchWidth, 11);
    EXPECT_EQ(p.firstLevel, 4);
    EXPECT_EQ(p.lastLevel, 1);
    // Keys after the bad one keep what they had.
    EXPECT_EQ(p.green, -7);
    EXPECT_EQ(p.frameStep, 0);

    Params q;
    q.acceptanceThreshold = 42;
    ASSERT_EQ(readText("SearchWidth=8\nSearchAll=maybe\nAcceptanceThreshold=1\n", q), -135);
    EXPECT_EQ(q.searchWidth, 8);
    EXPECT_EQ(q.acceptanceThreshold, 42);
}

TEST(ParamFile, ProfileRulesApply) {
    Params p;
    // Case-free names, blanks, quotes, CR LF, other sections ignored.
    ASSERT_EQ(readParams(PrivateProfile::parse("[other]\r\nFrameStep=0\r\n[QXMTRACK]\r\n"
                                               "  framestep =  \"7\" \r\nsearchall = On\r\n"),
                         p),
              0);
    EXPECT_EQ(p.frameStep, 7);
    EXPECT_TRUE(p.searchAll);
    // Values are cut to 63 characters before they are parsed.
    std::string digits = "1" + std::string(62, '0');
    Params q;
    EXPECT_EQ(readText("AcceptableDistance=" + digits + "x\n", q), 0);
    EXPECT_EQ(q.acceptableDistance, 1e62);
}

TEST(ParamFile, DefaultFileLivesInTheConfigFolder) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(std::getenv("XDG_CONFIG_HOME")) / "qxm";
    fs::create_directories(dir);
    const fs::path file = dir / "qxmtrack.ini";
    std::ofstream(file) << "[qxmtrack]\nFrameStep=3\n";
    Params p;
    EXPECT_EQ(readParamsFile(nullptr, p), 0);
    EXPECT_EQ(p.frameStep, 3);
    p.frameStep = 1;
    EXPECT_EQ(readParamsFile("", p), 0);
    EXPECT_EQ(p.frameStep, 3);
    std::ofstream(file) << "[qxmtrack]\nFrameStep=0\n";
    EXPECT_EQ(readParamsFile("", p), -161);
    fs::remove(file);
}

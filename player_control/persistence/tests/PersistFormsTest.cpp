#include "player_control/persistence/QXMoviePersist.h"

#include "platform/component/TextPropertyBag.h"
#include "player_control/persistence/tests/AllocationWatch.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace qxm;
using namespace qxm::qxmovie;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
void putString(Bytes& b, const std::string& s) {
    put32(b, std::uint32_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

PersistedControl randomControl(std::mt19937& rng) {
    auto anyInt = [&]() -> std::int32_t {
        switch (rng() % 5) {
        case 0:
            return kMin;
        case 1:
            return kMax;
        case 2:
            return std::int32_t(rng() % 7) - 3;
        default:
            return std::int32_t(rng());
        }
    };
    auto anyString = [&] {
        std::string s(rng() % 3 ? rng() % 24 : 0, '\0');
        for (char& c : s)
            c = char(rng() % 256);
        return s;
    };
    PersistedControl c;
    c.version = kPersistVersion;
    c.extentX = anyInt();
    c.extentY = anyInt();
    for (const PersistedProperty& p : persistedProperties()) {
        switch (p.kind()) {
        case PropertyKind::Bool:
            EXPECT_EQ(p.set(c.state, Variant(rng() % 2 == 0)), S_OK);
            break;
        case PropertyKind::Long:
            EXPECT_EQ(p.set(c.state, Variant(anyInt())), S_OK);
            break;
        case PropertyKind::String:
            EXPECT_EQ(p.set(c.state, Variant(anyString())), S_OK);
            break;
        }
    }
    return c;
}

// Offsets at which each value of the stream form of c starts, and its end.
std::vector<std::size_t> valueBoundaries(const PersistedControl& c) {
    std::vector<std::size_t> at = {12};
    for (const PersistedProperty& p : persistedProperties()) {
        std::size_t size = 4;
        if (p.kind() == PropertyKind::String) size += p.get(c.state).asString().size();
        at.push_back(at.back() + size);
    }
    return at;
}

// A bag whose reads fail for one name.
class FailingBag : public Object<IPropertyBag> {
public:
    HRESULT read(std::string_view name, Variant& out) override {
        if (equalsNoCase(name, "ShowTracker")) return E_FAIL;
        out = Variant("1");
        return S_OK;
    }
    HRESULT write(std::string_view, const Variant&) override { return E_ACCESSDENIED; }
};

} // namespace

// ---- extent ----

TEST(PersistExtent, RoundsHalfAwayFromZeroAndSaturates) {
    EXPECT_EQ(pixelsToHimetric(324), 8573); // 8572.5
    EXPECT_EQ(pixelsToHimetric(-324), -8573);
    EXPECT_EQ(pixelsToHimetric(275), 7276);
    EXPECT_EQ(pixelsToHimetric(12), 318); // 317.5
    EXPECT_EQ(pixelsToHimetric(1), 26);
    EXPECT_EQ(himetricToPixels(13), 0); // 0.49
    EXPECT_EQ(himetricToPixels(14), 1); // 0.53
    EXPECT_EQ(himetricToPixels(-14), -1);
    EXPECT_EQ(pixelsToHimetric(kMax), kMax);
    EXPECT_EQ(pixelsToHimetric(kMin), kMin);
    EXPECT_EQ(himetricToPixels(kMin), -81164736);
    EXPECT_EQ(himetricToPixels(kMax), 81164736);
    EXPECT_EQ(pixelsToHimetric(81164737), kMax); // 2147483666.5 saturates

    const PersistedControl d;
    EXPECT_EQ(himetricToPixels(d.extentX), 324);
    EXPECT_EQ(himetricToPixels(d.extentY), 275);
}

TEST(PersistExtent, PixelSizesComeBackExactly) {
    for (std::int32_t px = -100000; px <= 100000; ++px)
        ASSERT_EQ(himetricToPixels(pixelsToHimetric(px)), px);
    const std::int32_t largest = 81164736; // the largest size whose HIMETRIC value fits
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::int32_t> any(-largest, largest);
    for (std::int32_t px : {largest, -largest})
        EXPECT_EQ(himetricToPixels(pixelsToHimetric(px)), px);
    for (int i = 0; i < 100000; ++i) {
        std::int32_t px = any(rng);
        ASSERT_EQ(himetricToPixels(pixelsToHimetric(px)), px);
    }
}

// ---- the table ----

TEST(PersistedProperties, NamesOrderAndDefaultsInBagForm) {
    auto bag = makeObject<TextPropertyBag>();
    ASSERT_EQ(saveToBag(PersistedControl(), *bag, true), S_OK);
    EXPECT_EQ(bag->format(), "_Version=131072\n_ExtentX=8573\n_ExtentY=7276\n"
                             "AutoPlay=True\nAutoRepeat=False\nAutoRewind=True\nMovieFile=\"\"\n"
                             "MovieWindowSetting=0\nFullScreenMode=False\nShowControls=True\n"
                             "ShowDisplay=False\nShowTracker=True\nSelectionEnd=-1\n"
                             "SelectionStart=0\nActivateMethod=0\nChangeCursor=True\n"
                             "CursorFile=\"\"\nEnableContextMenu=True\nShowAnchor=False\n"
                             "ClickSound=False\nSoundFile=\"\"\nPlaybackEnvironment=0\n"
                             "ShowAnchorName=False\nPlaybackRate=0\nAnchorFrameOrigin=0\n");
    ASSERT_NE(findPersistedProperty("showanchorNAME"), nullptr);
    EXPECT_EQ(findPersistedProperty("showanchorNAME")->name, "ShowAnchorName");
    EXPECT_EQ(findPersistedProperty("ShowAnchorNames"), nullptr);
}

// ---- stream form ----

TEST(PersistStream, LayoutIsLittleEndianInExchangeOrder) {
    PersistedControl c;
    c.version = 0x00020000;
    c.extentX = -2;
    c.extentY = 0x01020304;
    QXMovieState& s = c.state;
    s = {false, true,  false, "m.mpg", -3,   true, false, true, false, 0x7FFFFFFF, kMin,
         2,     false, "c",   false,   true, true, "",    7,    true,  5,          -9};
    Bytes expected;
    put32(expected, 0x00020000);
    put32(expected, 0xFFFFFFFE);
    put32(expected, 0x01020304);
    for (std::uint32_t v : {0u, 1u, 0u})
        put32(expected, v);
    putString(expected, "m.mpg");
    for (std::uint32_t v : {0xFFFFFFFDu, 1u, 0u, 1u, 0u, 0x7FFFFFFFu, 0x80000000u, 2u, 0u})
        put32(expected, v);
    putString(expected, "c");
    for (std::uint32_t v : {0u, 1u, 1u})
        put32(expected, v);
    putString(expected, "");
    for (std::uint32_t v : {7u, 1u, 5u, 0xFFFFFFF7u})
        put32(expected, v);

    Bytes out = {9, 9, 9}; // replaced, not appended to
    saveToStream(c, out);
    EXPECT_EQ(out, expected);
    PersistedControl back;
    ASSERT_EQ(loadFromStream(expected, back), S_OK);
    EXPECT_EQ(back, c);
}

TEST(PersistStream, RandomControlsRoundTrip) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 500; ++i) {
        const PersistedControl c = randomControl(rng);
        Bytes bytes;
        saveToStream(c, bytes);
        PersistedControl back;
        back.state.MovieFile = "stale";
        std::string message;
        ASSERT_EQ(loadFromStream(bytes, back, &message), S_OK) << message;
        ASSERT_EQ(back, c);
    }
}

TEST(PersistStream, NonZeroBooleansAreTrueAndTrailingBytesAreIgnored) {
    PersistedControl c;
    Bytes bytes;
    saveToStream(c, bytes);
    bytes[12] = 0; // AutoPlay = 0
    bytes[16] = 2; // AutoRepeat = 2
    bytes[20] = 0; // AutoRewind = 0x80000000
    bytes[23] = 0x80;
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
    PersistedControl back;
    ASSERT_EQ(loadFromStream(bytes, back), S_OK);
    EXPECT_FALSE(back.state.AutoPlay);
    EXPECT_TRUE(back.state.AutoRepeat);
    EXPECT_TRUE(back.state.AutoRewind);
}

TEST(PersistStream, OutOfRangeValuesLoadAsTheyAre) {
    PersistedControl c;
    c.state.PlaybackRate = 7;
    c.state.MovieWindowSetting = -3;
    c.state.SelectionStart = 900;
    c.state.SelectionEnd = 10;
    Bytes bytes;
    saveToStream(c, bytes);
    PersistedControl back;
    ASSERT_EQ(loadFromStream(bytes, back), S_OK);
    EXPECT_EQ(back, c);
}

TEST(PersistStream, ShortHeaderFailsNamingTheField) {
    const Bytes full(12, 0);
    for (std::size_t n = 0; n < 12; ++n) {
        PersistedControl out;
        out.state.SoundFile = "untouched";
        const PersistedControl before = out;
        std::string message;
        EXPECT_EQ(loadFromStream(std::span(full).first(n), out, &message), STG_E_READFAULT);
        const char* field = n < 4 ? "_Version" : n < 8 ? "_ExtentX" : "_ExtentY";
        EXPECT_NE(message.find(std::string("ends inside ") + field), std::string::npos)
            << n << ": " << message;
        EXPECT_EQ(out, before);
    }
}

TEST(PersistStream, TruncationFailsCleanlyOrKeepsDefaultsForOtherVersions) {
    std::mt19937 rng(99);
    for (std::uint32_t version : {kPersistVersion, 0x00010000u, 0x00020001u, 0xFFFFFFFFu}) {
        PersistedControl c = randomControl(rng);
        c.state.MovieFile = "movie";
        c.state.CursorFile = "";
        c.state.SoundFile = "ding.wav";
        c.version = version;
        Bytes bytes;
        saveToStream(c, bytes);
        const std::vector<std::size_t> at = valueBoundaries(c);
        ASSERT_EQ(at.back(), bytes.size());
        const auto props = persistedProperties();

        for (std::size_t n = 12; n < bytes.size(); ++n) {
            PersistedControl out;
            out.extentX = 5;
            const PersistedControl before = out;
            std::string message;
            const HRESULT hr = loadFromStream(std::span(bytes).first(n), out, &message);
            // The value the cut falls in (or before, at a boundary).
            std::size_t k = 0;
            while (at[k + 1] <= n)
                ++k;
            const bool boundary = at[k] == n;
            if (boundary && version != kPersistVersion) {
                ASSERT_EQ(hr, S_OK) << version << " " << n << ": " << message;
                PersistedControl expected;
                expected.version = version;
                expected.extentX = c.extentX;
                expected.extentY = c.extentY;
                for (std::size_t i = 0; i < k; ++i)
                    ASSERT_EQ(props[i].set(expected.state, props[i].get(c.state)), S_OK);
                EXPECT_EQ(out, expected) << n;
                continue;
            }
            ASSERT_EQ(hr, STG_E_READFAULT) << version << " " << n;
            EXPECT_EQ(out, before);
            const std::string where = boundary ? "ends before " : "ends inside ";
            EXPECT_NE(message.find(where + std::string(props[k].name)), std::string::npos)
                << n << ": " << message;
        }
    }
}

TEST(PersistStream, AbsurdStringLengthsFailWithoutAllocating) {
    PersistedControl c;
    c.state.MovieFile = "abcd";
    Bytes bytes;
    saveToStream(c, bytes);
    const std::size_t lengthAt = 24; // after the header and three booleans
    const auto oneTooMany = std::uint32_t(bytes.size() - lengthAt - 4 + 1);
    for (std::uint32_t length : {oneTooMany, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i)
            bytes[lengthAt + std::size_t(i)] = std::uint8_t(length >> (8 * i));
        PersistedControl out;
        std::string message;
        qxm::testsupport::resetLargestAllocation();
        EXPECT_EQ(loadFromStream(bytes, out, &message), STG_E_READFAULT);
        // (a failure message is built, nothing near the claimed length)
        EXPECT_LT(qxm::testsupport::largestAllocation(), 4096u);
        EXPECT_NE(message.find("ends inside MovieFile"), std::string::npos) << message;
        EXPECT_NE(message.find(std::to_string(length)), std::string::npos) << message;
        EXPECT_EQ(out, PersistedControl());
    }
}

// ---- bag form ----

TEST(PersistBag, MissingNamesKeepTheirDefaults) {
    auto empty = makeObject<TextPropertyBag>();
    PersistedControl out;
    out.state.AutoPlay = false;
    out.extentX = 1;
    ASSERT_EQ(loadFromBag(*empty, out), S_OK);
    EXPECT_EQ(out, PersistedControl());

    auto bag = makeObject<TextPropertyBag>();
    std::string error;
    ASSERT_EQ(
        TextPropertyBag::parse("_ExtentY=100\nShowTracker=False\nSoundFile=a.wav\n", *bag, &error),
        S_OK);
    ASSERT_EQ(loadFromBag(*bag, out), S_OK);
    PersistedControl expected;
    expected.extentY = 100;
    expected.state.ShowTracker = false;
    expected.state.SoundFile = "a.wav";
    EXPECT_EQ(out, expected);
}

TEST(PersistBag, RandomControlsRoundTripThroughText) {
    std::mt19937 rng(4321);
    for (int i = 0; i < 300; ++i) {
        const PersistedControl c = randomControl(rng);
        const bool saveAll = i % 2 == 0;
        auto bag = makeObject<TextPropertyBag>();
        ASSERT_EQ(saveToBag(c, *bag, saveAll), S_OK);
        auto reread = makeObject<TextPropertyBag>();
        std::string message;
        ASSERT_EQ(TextPropertyBag::parse(bag->format(), *reread, &message), S_OK) << message;
        PersistedControl back;
        ASSERT_EQ(loadFromBag(*reread, back, &message), S_OK) << message;
        ASSERT_EQ(back, c);
    }
}

TEST(PersistBag, WithoutSaveAllOnlyChangedValuesAreWritten) {
    PersistedControl c;
    c.version = 0x00010002;
    c.state.AutoRewind = false;
    c.state.CursorFile = "hand.cur";
    c.state.AnchorFrameOrigin = 1;
    auto bag = makeObject<TextPropertyBag>();
    ASSERT_EQ(saveToBag(c, *bag, false), S_OK);
    EXPECT_EQ(bag->format(), "_Version=65538\n_ExtentX=8573\n_ExtentY=7276\nAutoRewind=False\n"
                             "CursorFile=hand.cur\nAnchorFrameOrigin=1\n");

    auto failing = makeObject<FailingBag>();
    EXPECT_EQ(saveToBag(c, *failing, true), E_ACCESSDENIED);
}

TEST(PersistBag, NamesIgnoreCaseAndValuesFollowTheAutomationRules) {
    auto bag = makeObject<TextPropertyBag>();
    ASSERT_EQ(TextPropertyBag::parse("autoplay=0\nSHOWDISPLAY=-1\nshowcontrols= false \n"
                                     "clicksound=2.5\nselectionend= 12 \nplaybackrate=2.5\n"
                                     "activatemethod=-2\nmoviefile=  x.mpg \n_extentx=3.5\n",
                                     *bag, nullptr),
              S_OK);
    PersistedControl out;
    ASSERT_EQ(loadFromBag(*bag, out), S_OK);
    EXPECT_FALSE(out.state.AutoPlay);
    EXPECT_TRUE(out.state.ShowDisplay);
    EXPECT_FALSE(out.state.ShowControls);
    EXPECT_TRUE(out.state.ClickSound);
    EXPECT_EQ(out.state.SelectionEnd, 12);
    EXPECT_EQ(out.state.PlaybackRate, 2); // half to even
    EXPECT_EQ(out.state.ActivateMethod, -2);
    EXPECT_EQ(out.state.MovieFile, "x.mpg");
    EXPECT_EQ(out.extentX, 4);
}

TEST(PersistBag, OutOfRangeValuesAndAnyVersionLoadAsTheyAre) {
    auto bag = makeObject<TextPropertyBag>();
    ASSERT_EQ(TextPropertyBag::parse("_Version=banana\nPlaybackRate=7\nMovieWindowSetting=-3\n",
                                     *bag, nullptr),
              S_OK);
    PersistedControl out;
    ASSERT_EQ(loadFromBag(*bag, out), S_OK);
    EXPECT_EQ(out.version, kPersistVersion);
    EXPECT_EQ(out.state.PlaybackRate, 7);
    EXPECT_EQ(out.state.MovieWindowSetting, -3);

    ASSERT_EQ(bag->write("_Version", Variant(65536)), S_OK);
    ASSERT_EQ(loadFromBag(*bag, out), S_OK);
    EXPECT_EQ(out.version, 0x00010000u);
}

TEST(PersistBag, AValueThatDoesNotConvertFailsTheLoadNamingIt) {
    struct Case {
        std::string text;
        HRESULT hr;
        std::string message;
    };
    const Case cases[] = {
        {"AutoPlay=banana", DISP_E_TYPEMISMATCH, "AutoPlay: \"banana\" is not a boolean value"},
        {"ShowAnchor=", DISP_E_TYPEMISMATCH, "ShowAnchor: \"\" is not a boolean value"},
        {"SelectionStart=12abc", DISP_E_TYPEMISMATCH, "SelectionStart: \"12abc\" is not a number"},
        {"PlaybackRate=2147483648", DISP_E_OVERFLOW,
         "PlaybackRate: \"2147483648\" is out of range"},
        {"_ExtentY=wide", DISP_E_TYPEMISMATCH, "_ExtentY: \"wide\" is not a number"},
    };
    for (const Case& c : cases) {
        auto bag = makeObject<TextPropertyBag>();
        ASSERT_EQ(
            TextPropertyBag::parse("MovieFile=a.mpg\nAutoRepeat=True\n" + c.text, *bag, nullptr),
            S_OK);
        PersistedControl out;
        out.state.CursorFile = "mine";
        const PersistedControl before = out;
        std::string message;
        EXPECT_EQ(loadFromBag(*bag, out, &message), c.hr) << c.text;
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(out, before);
    }

    auto failing = makeObject<FailingBag>();
    PersistedControl out;
    std::string message;
    EXPECT_EQ(loadFromBag(*failing, out, &message), E_FAIL);
    EXPECT_NE(message.find("ShowTracker"), std::string::npos) << message;
    EXPECT_EQ(out, PersistedControl());
}

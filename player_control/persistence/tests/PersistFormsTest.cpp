#include "player_control/persistence/QXMoviePersist.h"

#include "platform/propertybag/TextPropertyBag.h"
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

PersistedControl randomControl(std::mt19937& rng) {
    auto anyInt = [&]() -> std::int32_t {
        const std::int32_t special[] = {kMin, kMax, 0, -1, 1};
        return rng() % 2 ? special[rng() % 5] : std::int32_t(rng());
    };
    PersistedControl c;
    c.extentX = anyInt();
    c.extentY = anyInt();
    for (const PersistedProperty& p : persistedProperties()) {
        Variant v(rng() % 2 == 0);
        if (p.kind() == PropertyKind::Long) v = Variant(anyInt());
        if (p.kind() == PropertyKind::String) {
            std::string s(rng() % 3 ? rng() % 24 : 0, '\0');
            for (char& ch : s)
                ch = char(rng() % 256);
            v = Variant(s);
        }
        EXPECT_EQ(p.set(c.state, v), S_OK);
    }
    return c;
}

ComPtr<TextPropertyBag> bagOf(std::string_view text) {
    auto bag = makeObject<TextPropertyBag>();
    EXPECT_EQ(TextPropertyBag::parse(text, *bag, nullptr), S_OK);
    return bag;
}

// A bag whose reads fail for one name and whose writes fail.
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

TEST(PersistExtent, RoundsHalfAwayFromZeroSaturatesAndKeepsPixelSizes) {
    EXPECT_EQ(pixelsToHimetric(324), 8573); // 8572.5
    EXPECT_EQ(pixelsToHimetric(-12), -318); // -317.5
    EXPECT_EQ(pixelsToHimetric(275), 7276);
    EXPECT_EQ(himetricToPixels(13), 0); // 0.49
    EXPECT_EQ(himetricToPixels(-14), -1);
    EXPECT_EQ(pixelsToHimetric(kMin), kMin);
    EXPECT_EQ(pixelsToHimetric(81164737), kMax); // 2147483666.5
    EXPECT_EQ(himetricToPixels(kMax), 81164736);
    EXPECT_EQ(himetricToPixels(PersistedControl().extentY), 275);

    for (std::int32_t px = -100000; px <= 100000; ++px)
        ASSERT_EQ(himetricToPixels(pixelsToHimetric(px)), px);
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::int32_t> any(-81164736, 81164736); // all that fit
    for (int i = 0; i < 100000; ++i) {
        const std::int32_t px = i < 2 ? (i ? -81164736 : 81164736) : any(rng);
        ASSERT_EQ(himetricToPixels(pixelsToHimetric(px)), px);
    }
}

TEST(PersistedProperties, NamesOrderAndDefaults) {
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

TEST(PersistStream, LayoutIsLittleEndianInExchangeOrder) {
    PersistedControl c;
    c.extentX = -2;
    c.extentY = 0x01020304;
    c.state = {false, true,  false, "mv",  -3,   true, false, true, false, kMax, kMin,
               2,     false, "c",   false, true, true, "",    7,    true,  5,    -9};
    Bytes expected;
    auto words = [&](std::initializer_list<std::uint32_t> vs) {
        for (std::uint32_t v : vs)
            put32(expected, v);
    };
    auto text = [&](std::string_view s) {
        put32(expected, std::uint32_t(s.size()));
        expected.insert(expected.end(), s.begin(), s.end());
    };
    words({0x00020000, 0xFFFFFFFE, 0x01020304, 0, 1, 0});
    text("mv");
    words({0xFFFFFFFD, 1, 0, 1, 0, 0x7FFFFFFF, 0x80000000, 2, 0});
    text("c");
    words({0, 1, 1});
    text("");
    words({7, 1, 5, 0xFFFFFFF7});

    Bytes out = {9, 9, 9}; // replaced, not appended to
    saveToStream(c, out);
    EXPECT_EQ(out, expected);
    PersistedControl back;
    ASSERT_EQ(loadFromStream(expected, back), S_OK);
    EXPECT_EQ(back, c);
}

TEST(PersistForms, RandomControlsRoundTripInBothForms) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 400; ++i) {
        const PersistedControl c = randomControl(rng);
        Bytes bytes;
        saveToStream(c, bytes);
        PersistedControl back;
        std::string message;
        ASSERT_EQ(loadFromStream(bytes, back, &message), S_OK) << message;
        ASSERT_EQ(back, c);

        auto bag = makeObject<TextPropertyBag>();
        ASSERT_EQ(saveToBag(c, *bag, i % 2 == 0), S_OK);
        back = PersistedControl();
        ASSERT_EQ(loadFromBag(*bagOf(bag->format()), back, &message), S_OK) << message;
        ASSERT_EQ(back, c);
    }
}

TEST(PersistStream, ValuesAreReadWithoutValidation) {
    PersistedControl c;
    c.state.PlaybackRate = 7;
    c.state.MovieWindowSetting = -3;
    c.state.SelectionStart = 900; // past SelectionEnd
    Bytes bytes;
    saveToStream(c, bytes);
    bytes[16] = 2;                              // AutoRepeat: any non-zero value is true
    bytes[20] = 0, bytes[23] = 0x80;            // AutoRewind = 0x80000000
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5}); // trailing bytes are ignored
    PersistedControl back;
    ASSERT_EQ(loadFromStream(bytes, back), S_OK);
    c.state.AutoRepeat = true;
    EXPECT_EQ(back, c);
}

TEST(PersistStream, TruncationFailsCleanlyOrKeepsDefaultsForOtherVersions) {
    std::mt19937 rng(99);
    for (std::uint32_t version : {kPersistVersion, 0x00010000u, 0x00020001u}) {
        PersistedControl c = randomControl(rng);
        c.version = version;
        c.state.CursorFile = "";
        c.state.SoundFile = "ding.wav";
        Bytes bytes;
        saveToStream(c, bytes);
        // Where each value starts, worked out from the layout.
        std::vector<std::size_t> at = {12};
        for (const PersistedProperty& p : persistedProperties())
            at.push_back(at.back() + 4 +
                         (p.kind() == PropertyKind::String ? p.get(c.state).asString().size() : 0));
        ASSERT_EQ(at.back(), bytes.size());

        for (std::size_t n = 0; n < bytes.size(); ++n) {
            PersistedControl out;
            out.extentX = 5;
            const PersistedControl before = out;
            std::string message;
            const HRESULT hr = loadFromStream(std::span(bytes).first(n), out, &message);
            std::size_t k = 0; // the value the cut falls in (or before)
            while (at[k + 1] <= n)
                ++k;
            const bool boundary = at[k] == n;
            if (boundary && version != kPersistVersion) {
                ASSERT_EQ(hr, S_OK) << n << ": " << message;
                PersistedControl expected = c;
                for (std::size_t i = k; i < at.size() - 1; ++i) {
                    const PersistedProperty& p = persistedProperties()[i];
                    ASSERT_EQ(p.set(expected.state, p.get(QXMovieState())), S_OK);
                }
                EXPECT_EQ(out, expected) << n;
                continue;
            }
            ASSERT_EQ(hr, STG_E_READFAULT) << version << " " << n;
            EXPECT_EQ(out, before);
            const std::string where =
                n < 12     ? (n < 4   ? "ends inside _Version"
                              : n < 8 ? "ends inside _ExtentX"
                                      : "ends inside _ExtentY")
                : boundary ? "ends before " + std::string(persistedProperties()[k].name)
                           : "ends inside " + std::string(persistedProperties()[k].name);
            EXPECT_NE(message.find(where), std::string::npos) << n << ": " << message;
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
        EXPECT_LT(qxm::testsupport::largestAllocation(), 4096u); // only the message
        EXPECT_NE(message.find("ends inside MovieFile"), std::string::npos) << message;
        EXPECT_NE(message.find(std::to_string(length)), std::string::npos) << message;
        EXPECT_EQ(out, PersistedControl());
    }
}

TEST(PersistBag, LoadingStartsFromDefaultsAndFollowsTheAutomationRules) {
    PersistedControl out;
    out.state.AutoPlay = false;
    ASSERT_EQ(loadFromBag(*makeObject<TextPropertyBag>(), out), S_OK);
    EXPECT_EQ(out, PersistedControl());

    ASSERT_EQ(loadFromBag(*bagOf("_version=banana\n_extentx=3.5\nautoplay=0\nSHOWDISPLAY=-1\n"
                                 "showcontrols= false \nclicksound=2.5\nselectionend= 12 \n"
                                 "playbackrate=7\nMovieWindowSetting=-3\nmoviefile=  x.mpg \n"),
                          out),
              S_OK);
    PersistedControl expected;
    expected.extentX = 4; // half to even
    expected.state.AutoPlay = false;
    expected.state.ShowDisplay = true;
    expected.state.ShowControls = false;
    expected.state.ClickSound = true;
    expected.state.SelectionEnd = 12;
    expected.state.PlaybackRate = 7;
    expected.state.MovieWindowSetting = -3;
    expected.state.MovieFile = "x.mpg";
    EXPECT_EQ(out, expected);
    ASSERT_EQ(loadFromBag(*bagOf("_Version=65536"), out), S_OK);
    EXPECT_EQ(out.version, 0x00010000u);
}

TEST(PersistBag, SavingLeavesDefaultsOutUnlessAskedForAll) {
    PersistedControl c;
    c.version = 0x00010002;
    c.state.AutoRewind = false;
    c.state.CursorFile = "hand.cur";
    c.state.AnchorFrameOrigin = 1;
    auto bag = makeObject<TextPropertyBag>();
    ASSERT_EQ(saveToBag(c, *bag, false), S_OK);
    EXPECT_EQ(bag->format(), "_Version=65538\n_ExtentX=8573\n_ExtentY=7276\nAutoRewind=False\n"
                             "CursorFile=hand.cur\nAnchorFrameOrigin=1\n");
    EXPECT_EQ(saveToBag(c, *makeObject<FailingBag>(), true), E_ACCESSDENIED);
}

TEST(PersistBag, AValueThatDoesNotConvertFailsTheLoadNamingIt) {
    const std::tuple<std::string, HRESULT, std::string> cases[] = {
        {"AutoPlay=banana", DISP_E_TYPEMISMATCH, "AutoPlay: \"banana\" is not a boolean value"},
        {"ShowAnchor=", DISP_E_TYPEMISMATCH, "ShowAnchor: \"\" is not a boolean value"},
        {"SelectionStart=12abc", DISP_E_TYPEMISMATCH, "SelectionStart: \"12abc\" is not a number"},
        {"PlaybackRate=2147483648", DISP_E_OVERFLOW,
         "PlaybackRate: \"2147483648\" is out of range"},
        {"_ExtentY=wide", DISP_E_TYPEMISMATCH, "_ExtentY: \"wide\" is not a number"},
    };
    for (const auto& [text, hr, expected] : cases) {
        PersistedControl out;
        out.state.CursorFile = "mine";
        const PersistedControl before = out;
        std::string message;
        EXPECT_EQ(loadFromBag(*bagOf("MovieFile=a.mpg\nAutoRepeat=True\n" + text), out, &message),
                  hr);
        EXPECT_EQ(message, expected);
        EXPECT_EQ(out, before);
    }
    PersistedControl out;
    std::string message;
    EXPECT_EQ(loadFromBag(*makeObject<FailingBag>(), out, &message), E_FAIL);
    EXPECT_NE(message.find("ShowTracker"), std::string::npos) << message;
    EXPECT_EQ(out, PersistedControl());
}

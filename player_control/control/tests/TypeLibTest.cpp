#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/control/QXMovieTypeLib.h"

#include <gtest/gtest.h>

#include <set>

using namespace qxm;
using namespace qxm::qxmovie;

TEST(QXMovieTypeLib, LibraryInterfacesAndCoclass) {
    const TypeLibrary& lib = qxmovieTypeLibrary();
    std::string problem;
    EXPECT_EQ(lib.validate(&problem), S_OK) << problem;
    EXPECT_EQ(lib.name, "QXMOVIELib");
    EXPECT_EQ(lib.versionText(), "2.0");
    EXPECT_TRUE(lib.flags & TYPE_CONTROL);
    EXPECT_EQ(lib.helpString, "QX-MOVIE ActiveX");
    EXPECT_EQ(lib.helpFile, "QXMovie.hlp");
    EXPECT_EQ(lib.libid, kLibidQXMOVIELib);

    const InterfaceInfo* d = lib.findInterface("_DQXMovie");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->flags, TYPE_HIDDEN | TYPE_DISPATCHABLE);
    EXPECT_EQ(d->helpString, "Dispatch interface for QXMovie Control");
    const InterfaceInfo* e = lib.findInterface(kIidDQXMovieEvents);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->helpString, "Event interface for QXMovie Control");
    const CoClassInfo* c = lib.findCoClass(kClsidQXMovie);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name, "QXMovie");
    EXPECT_EQ(c->flags, TYPE_CREATABLE | TYPE_CONTROL);
    EXPECT_EQ(lib.defaultInterface(*c), d);
    EXPECT_EQ(lib.defaultInterface(*c, true), e);

    // Every identifier distinct.
    std::set<Guid> ids{kLibidQXMOVIELib,  kIidDQXMovie,        kIidDQXMovieEvents,  kClsidQXMovie,
                       kClsidGeneralPage, kClsidMovieFilePage, kClsidCursorFilePage};
    EXPECT_EQ(ids.size(), 7u);
}

TEST(QXMovieTypeLib, MembersWithIdsTypesAndFlags) {
    struct Expect {
        DispId id;
        const char* name;
        VarType vt;
        bool hidden;
        bool readOnly;
    };
    const Expect table[] = {
        {1, "AutoPlay", VarType::Bool, false, false},
        {4, "MovieFile", VarType::BStr, false, false},
        {7, "ShowDisplay", VarType::Bool, true, false},
        {8, "ShowTracker", VarType::Bool, true, false},
        {13, "AnchorNum", VarType::I4, false, true},
        {18, "PlaybackEnvironment", VarType::I4, true, true},
        {19, "ShowAnchorName", VarType::Bool, true, true},
        {20, "CurrentPosition", VarType::I4, false, false},
        {23, "Duration", VarType::I4, false, true},
        {24, "ClickSound", VarType::Bool, true, false},
        {25, "SoundFile", VarType::BStr, true, false},
        {27, "AnchorFrameOrigin", VarType::I4, false, false},
        {31, "EnableAnchor", VarType::Bool, false, false},
        {32, "AnchorID", VarType::BStr, false, true},
        {-552, "AboutBox", VarType::Void, false, false},
    };
    for (const Expect& x : table) {
        const MemberInfo& m = dqxmovieMember(x.id);
        EXPECT_EQ(m.name, x.name);
        EXPECT_EQ(m.type.vt, x.vt) << x.name;
        EXPECT_EQ(m.has(MEMBER_HIDDEN), x.hidden) << x.name;
        EXPECT_EQ(m.has(MEMBER_READONLY), x.readOnly) << x.name;
    }
    EXPECT_EQ(dqxmovieInterface().members.size(), 34u);

    const InterfaceInfo& ev = dqxmovieEventsInterface();
    EXPECT_EQ(ev.members.size(), 14u);
    const MemberInfo* down = ev.find(DispId(-605));
    ASSERT_TRUE(down);
    EXPECT_EQ(down->name, "MouseDown");
    ASSERT_EQ(down->params.size(), 4u);
    EXPECT_EQ(down->params[0].type.vt, VarType::I2);
    EXPECT_EQ(down->params[2].type.name, "OLE_XPOS_PIXELS");
    EXPECT_EQ(ev.find(11)->name, "OpenComplete");
    EXPECT_EQ(ev.find("oncursorout")->id, 9);
}

TEST(QXMovieTypeLib, EnumeratedPropertiesOfferTheirStrings) {
    const auto rates = predefinedStrings(DISPID_PlaybackRate);
    ASSERT_EQ(rates.size(), 3u);
    EXPECT_EQ(rates[2].text, "2 - OnehalfSpeed");
    EXPECT_EQ(rates[2].stringId, 212u);
    EXPECT_EQ(rates[2].value, 2);
    EXPECT_EQ(predefinedStrings(DISPID_MovieWindowSetting).size(), 5u);
    EXPECT_EQ(enumDisplayString(DISPID_ActivateMethod, 1), "1 - DoubleClick");
    EXPECT_EQ(enumDisplayString(DISPID_PlaybackEnvironment, 1), "1 - MCIInterface");
    EXPECT_EQ(enumDisplayString(DISPID_MovieWindowSetting, 7), "");
    EXPECT_TRUE(predefinedStrings(DISPID_AutoPlay).empty());
    // Each string's value is its leading number.
    for (DispId p : {DISPID_MovieWindowSetting, DISPID_ActivateMethod, DISPID_PlaybackEnvironment,
                     DISPID_PlaybackRate})
        for (const PredefinedString& s : predefinedStrings(p))
            EXPECT_EQ(std::stoi(s.text), s.value) << s.text;
}

TEST(QXMovieStrings, TableNumbersAndTexts) {
    EXPECT_EQ(strings::loadString(1), "QX-MOVIE ActiveX Control");
    EXPECT_EQ(strings::loadString(213), "Invalid Property Value");
    EXPECT_EQ(strings::loadString(214), "Invalid Property Array Index");
    EXPECT_EQ(strings::loadString(215), "Anchor Data Read Error");
    EXPECT_EQ(strings::loadString(221), "Movie files(*.avi *.mpg *.mov)|*.avi;*.mpg;*.mov||");
    EXPECT_EQ(strings::loadString(3), "");
    std::set<std::uint32_t> numbers;
    for (const auto& s : strings::kTable)
        numbers.insert(s.id);
    EXPECT_EQ(numbers.size(), std::size(strings::kTable));
}

TEST(QXMovieTypeLib, EventsAsText) {
    const Variant args[] = {Variant(std::int32_t(2)), Variant(std::int32_t(0))};
    EXPECT_EQ(describeEvent(EVENTID_OnStateChange, args), "OnStateChange(2, 0)");
    const Variant id[] = {Variant("CAR1")};
    EXPECT_EQ(describeEvent(EVENTID_OnCursorIn, id), "OnCursorIn(\"CAR1\")");
    EXPECT_EQ(describeEvent(EVENTID_OpenComplete, {}), "OpenComplete()");
}

#include "platform/component/TypeLib.h"

#include <gtest/gtest.h>

using namespace qxm;

namespace {

TypeLibrary sampleLibrary() {
    TypeLibrary lib;
    lib.name = "SampleLib";
    lib.libid = Guid::literal("{A0000000-0000-0000-0000-000000000001}");
    lib.majorVersion = 2;
    lib.helpString = "Sample \"library\"";
    lib.helpFile = "Sample.hlp";
    lib.flags = TYPE_CONTROL;
    lib.imports = {"stdole32.tlb"};
    lib.aliases = {{"OLE_XPOS_PIXELS", {VarType::I4}, "x in pixels"}};
    lib.enums = {{"RateEnum",
                  "",
                  {{"NormalSpeed", 0, "0 - NormalSpeed"}, {"DoubleSpeed", 1, "1 - DoubleSpeed"}}}};
    InterfaceInfo disp{"_DSample",
                       Guid::literal("{A0000000-0000-0000-0000-000000000002}"),
                       InterfaceKind::DispInterface,
                       TYPE_HIDDEN | TYPE_DISPATCHABLE,
                       "Dispatch interface",
                       {}};
    disp.members = {
        {.id = 1, .name = "AutoPlay", .kind = MemberKind::Property, .type = {VarType::Bool}},
        {.id = 7,
         .name = "ShowDisplay",
         .kind = MemberKind::Property,
         .type = {VarType::Bool},
         .flags = MEMBER_HIDDEN | MEMBER_BINDABLE},
        {.id = 26, .name = "Rate", .kind = MemberKind::Property, .type = {VarType::I4, "RateEnum"}},
        {.id = 32,
         .name = "AnchorID",
         .kind = MemberKind::Property,
         .type = {VarType::BStr},
         .params = {{"nIndex", {VarType::I4}}}},
        {.id = 28,
         .name = "Play",
         .type = {VarType::Void},
         .params = {{"FrameNo", {VarType::I4}}},
         .helpString = "Plays"},
    };
    InterfaceInfo events{"_DSampleEvents",
                         Guid::literal("{A0000000-0000-0000-0000-000000000003}"),
                         InterfaceKind::DispInterface,
                         TYPE_DISPATCHABLE,
                         "Events",
                         {}};
    events.members = {
        {.id = DISPID_MOUSEDOWN,
         .name = "MouseDown",
         .type = {VarType::Void},
         .params = {{"Button", {VarType::I2}}, {"x", {VarType::I4, "OLE_XPOS_PIXELS"}}}}};
    lib.interfaces = {disp, events};
    lib.coclasses = {{"Sample",
                      Guid::literal("{A0000000-0000-0000-0000-000000000004}"),
                      TYPE_CREATABLE | TYPE_CONTROL,
                      "Sample Control",
                      {{"_DSample", true, false}, {"_DSampleEvents", true, true}}}};
    return lib;
}

} // namespace

TEST(TypeLib, LooksUpTypesAndMembers) {
    TypeLibrary lib = sampleLibrary();
    EXPECT_EQ(lib.validate(), S_OK);
    EXPECT_EQ(lib.versionText(), "2.0");
    const CoClassInfo* c = lib.findCoClass(Guid::literal("{A0000000-0000-0000-0000-000000000004}"));
    ASSERT_TRUE(c);
    EXPECT_EQ(lib.findCoClass("sample"), c);
    ASSERT_TRUE(lib.defaultInterface(*c));
    EXPECT_EQ(lib.defaultInterface(*c)->name, "_DSample");
    ASSERT_TRUE(lib.defaultInterface(*c, true));
    EXPECT_EQ(lib.defaultInterface(*c, true)->name, "_DSampleEvents");
    const InterfaceInfo* d = lib.findInterface("_dsample");
    ASSERT_TRUE(d);
    EXPECT_EQ(d, lib.findInterface(d->iid));
    ASSERT_TRUE(d->find("showdisplay"));
    EXPECT_TRUE(d->find(7)->has(MEMBER_HIDDEN));
    EXPECT_FALSE(d->find(7)->has(MEMBER_READONLY));
    EXPECT_EQ(d->find(99), nullptr);
    ASSERT_TRUE(lib.findEnum("RateEnum"));
    EXPECT_EQ(lib.findEnum("RateEnum")->find(1)->helpString, "1 - DoubleSpeed");
    EXPECT_EQ(lib.findEnum("RateEnum")->find(5), nullptr);
}

TEST(TypeLib, ValidateFindsInconsistencies) {
    std::string why;
    TypeLibrary dupId = sampleLibrary();
    dupId.interfaces[0].members[1].id = 1;
    EXPECT_EQ(dupId.validate(&why), E_INVALIDARG);
    EXPECT_NE(why.find("id 1"), std::string::npos);

    TypeLibrary dupName = sampleLibrary();
    dupName.interfaces[0].members[1].name = "AUTOPLAY";
    EXPECT_EQ(dupName.validate(&why), E_INVALIDARG);

    TypeLibrary badType = sampleLibrary();
    badType.interfaces[1].members[0].params[1].type.name = "OLE_YPOS_PIXELS";
    EXPECT_EQ(badType.validate(&why), E_INVALIDARG);
    EXPECT_NE(why.find("OLE_YPOS_PIXELS"), std::string::npos);

    TypeLibrary badRef = sampleLibrary();
    badRef.coclasses[0].interfaces[0].interfaceName = "_DMissing";
    EXPECT_EQ(badRef.validate(&why), E_INVALIDARG);

    TypeLibrary twoDefaults = sampleLibrary();
    twoDefaults.coclasses[0].interfaces[1].isSource = false;
    EXPECT_EQ(twoDefaults.validate(&why), E_INVALIDARG);
}

TEST(TypeLib, ListingShowsEverything) {
    std::string text = sampleLibrary().format();
    for (const char* expected : {
             "[ uuid(A0000000-0000-0000-0000-000000000001), version(2.0), "
             "helpstring(\"Sample \\\"library\\\"\"), helpfile(\"Sample.hlp\"), control ]",
             "library SampleLib",
             "importlib(\"stdole32.tlb\");",
             "typedef [public, helpstring(\"x in pixels\")] long OLE_XPOS_PIXELS;",
             "[helpstring(\"1 - DoubleSpeed\")] DoubleSpeed = 1,",
             "helpstring(\"Dispatch interface\"), hidden, dispatchable ]",
             "dispinterface _DSample",
             "[id(1)] boolean AutoPlay;",
             "[id(7), hidden, bindable] boolean ShowDisplay;",
             "[id(26)] RateEnum Rate;",
             "[id(32), propget] BSTR AnchorID(long nIndex);",
             "[id(28), helpstring(\"Plays\")] void Play(long FrameNo);",
             "[id(-605)] void MouseDown(short Button, OLE_XPOS_PIXELS x);",
             "coclass Sample",
             "[default] dispinterface _DSample;",
             "[default, source] dispinterface _DSampleEvents;",
         })
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin\n" << text;
    // Indexed properties are listed with the methods, not with the plain properties.
    EXPECT_GT(text.find("AnchorID"), text.find("methods:"));
}

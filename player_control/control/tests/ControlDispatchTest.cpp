// The control's automation surface without a movie: defaults, validation and its errors, the
// read-only properties, indexed properties, methods, and the About box.
#include "player_control/control/tests/ControlTestSupport.h"

#include <QDialog>
#include <QTimer>

#include "platform/component/Dispatch.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::testing;

namespace {

using DispatchTest = ControlTest;

void expectError(CQXMovieCtrl& c, const char* name, const Variant& v, HRESULT code,
                 const char* description, std::uint32_t help) {
    ExcepInfo info;
    EXPECT_EQ(put(c, name, v, &info), DISP_E_EXCEPTION) << name;
    EXPECT_EQ(info.scode, code) << name;
    EXPECT_EQ(info.description, description) << name;
    EXPECT_EQ(info.helpContext, help) << name;
}

} // namespace

TEST_F(DispatchTest, DefaultsByIdAndByName) {
    auto c = makeControl();
    EXPECT_EQ(c->size(), QSize(kInitialWidth, kInitialHeight));
    struct Default {
        DispId id;
        const char* name;
        Variant value;
    };
    const Default defaults[] = {
        {1, "AutoPlay", Variant(true)},         {2, "AutoRepeat", Variant(false)},
        {3, "AutoRewind", Variant(true)},       {4, "MovieFile", Variant("")},
        {5, "MovieWindowSetting", Variant(0)},  {6, "ShowControls", Variant(true)},
        {7, "ShowDisplay", Variant(false)},     {8, "ShowTracker", Variant(true)},
        {9, "SelectionEnd", Variant(-1)},       {10, "SelectionStart", Variant(0)},
        {11, "FullScreenMode", Variant(false)}, {12, "ActivateMethod", Variant(0)},
        {13, "AnchorNum", Variant(0)},          {14, "ChangeCursor", Variant(true)},
        {15, "CursorFile", Variant("")},        {16, "EnableContextMenu", Variant(true)},
        {17, "ShowAnchor", Variant(false)},     {18, "PlaybackEnvironment", Variant(0)},
        {19, "ShowAnchorName", Variant(false)}, {20, "CurrentPosition", Variant(0)},
        {21, "ImageSourceHeight", Variant(0)},  {22, "ImageSourceWidth", Variant(0)},
        {23, "Duration", Variant(0)},           {24, "ClickSound", Variant(false)},
        {25, "SoundFile", Variant("")},         {26, "PlaybackRate", Variant(0)},
        {27, "AnchorFrameOrigin", Variant(0)},
    };
    for (const Default& d : defaults) {
        Variant byId, byName;
        EXPECT_EQ(dispGet(*c->dispatch(), d.id, byId), S_OK) << d.name;
        EXPECT_EQ(dispGet(*c->dispatch(), d.name, byName), S_OK) << d.name;
        EXPECT_EQ(byId, d.value) << d.name;
        EXPECT_EQ(byName, d.value) << d.name;
    }
    DispId id = 0;
    EXPECT_EQ(c->dispatch()->getIdOfName("anchorframeorigin", id), S_OK);
    EXPECT_EQ(id, 27);
}

TEST_F(DispatchTest, InvalidValuesRaiseTheControlErrorAndChangeNothing) {
    auto c = makeControl();
    ASSERT_EQ(put(*c, "ActivateMethod", Variant(1)), S_OK);
    expectError(*c, "ActivateMethod", Variant(2), controlError(380), "Invalid Property Value", 213);
    EXPECT_EQ(get(*c, "ActivateMethod"), Variant(1));
    expectError(*c, "MovieWindowSetting", Variant(5), hresultFromBits(0x800A017C),
                "Invalid Property Value", 213);
    expectError(*c, "MovieWindowSetting", Variant(-1), controlError(380), "Invalid Property Value",
                213);
    EXPECT_EQ(get(*c, "MovieWindowSetting"), Variant(0));
    expectError(*c, "PlaybackRate", Variant(3), controlError(380), "Invalid Property Value", 213);
    EXPECT_EQ(put(*c, "PlaybackRate", Variant(2)), S_OK);
    EXPECT_EQ(c->engine()->Rate(), 0.5);
    // Before any movie SelectionEnd is -1: no start passes the check against it.
    expectError(*c, "SelectionStart", Variant(0), controlError(380), "Invalid Property Value", 213);
    expectError(*c, "SelectionEnd", Variant(-2), controlError(380), "Invalid Property Value", 213);
    EXPECT_EQ(get(*c, "SelectionStart"), Variant(0));
    EXPECT_EQ(get(*c, "SelectionEnd"), Variant(-1));
}

TEST_F(DispatchTest, ReadOnlyPropertiesRefuseASetAndKeepTheLoadedValue) {
    QXMovieState st;
    st.PlaybackEnvironment = 1;
    st.ShowAnchorName = true;
    auto c = makeControl(st);
    c->setModified(false);
    for (const char* name : {"PlaybackEnvironment", "ShowAnchorName", "AnchorNum", "Duration",
                             "ImageSourceWidth", "ImageSourceHeight"}) {
        ExcepInfo info;
        EXPECT_EQ(put(*c, name, Variant(0), &info), DISP_E_EXCEPTION) << name;
        EXPECT_EQ(info.scode, hresultFromBits(0x800A017F)) << name;
    }
    EXPECT_EQ(get(*c, "PlaybackEnvironment"), Variant(1));
    EXPECT_EQ(get(*c, "ShowAnchorName"), Variant(true));
    EXPECT_FALSE(c->isModified());
}

TEST_F(DispatchTest, AnchorIndexOutsideTheListRaisesTheArrayIndexError) {
    auto c = makeControl();
    for (const char* name : {"AnchorID", "AnchorName"}) {
        Variant v;
        ExcepInfo info;
        const Variant index[] = {Variant(0)};
        EXPECT_EQ(dispGet(*c->dispatch(), name, v, &info, index), DISP_E_EXCEPTION);
        EXPECT_EQ(info.scode, hresultFromBits(0x800A017D));
        EXPECT_EQ(info.description, "Invalid Property Array Index");
        EXPECT_EQ(info.helpContext, 214u);
    }
}

TEST_F(DispatchTest, SettersStoreMarkModifiedAndReachTheEngine) {
    TestSite site;
    auto c = makeControl({}, &site);
    ASSERT_EQ(put(*c, "AutoRepeat", Variant(true)), S_OK);
    EXPECT_EQ(c->engine()->PlayCount(), 0);
    ASSERT_EQ(put(*c, "AutoRepeat", Variant(false)), S_OK);
    EXPECT_EQ(c->engine()->PlayCount(), 1);
    EXPECT_TRUE(c->isModified());
    ASSERT_EQ(put(*c, "ShowTracker", Variant(false)), S_OK);
    EXPECT_FALSE(c->engine()->ShowTracker());
    ASSERT_EQ(put(*c, "ShowDisplay", Variant(true)), S_OK);
    EXPECT_TRUE(c->engine()->ShowDisplay());
    ASSERT_EQ(put(*c, "MovieWindowSetting", Variant(1)), S_OK);
    EXPECT_EQ(c->engine()->MovieWindowSize(), 1);
    EXPECT_FALSE(c->engine()->FullScreenMode());
    ASSERT_EQ(put(*c, "CursorFile", Variant("/nowhere/hand.cur")), S_OK);
    ASSERT_EQ(put(*c, "SoundFile", Variant("click.wav")), S_OK);
    EXPECT_EQ(get(*c, "SoundFile"), Variant("click.wav"));
    EXPECT_EQ(site.changed, std::vector<DispId>{DISPID_CursorFile});
    // A MovieFile stored while the window does not exist is not resolved.
    CQXMovieCtrl bare;
    site.location = "http://example.org/dir/page.html";
    bare.setSite(&site);
    ASSERT_EQ(put(bare, "MovieFile", Variant("clip.avi")), S_OK);
    EXPECT_EQ(get(bare, "MovieFile"), Variant("clip.avi"));
    EXPECT_EQ(site.changed.back(), DISPID_MovieFile);
}

TEST_F(DispatchTest, MethodsWithoutAMovieAndTheAboutHook) {
    auto c = makeControl();
    EXPECT_EQ(dispCall(*c->dispatch(), "Play", std::vector<Variant>{Variant(-1)}), S_OK);
    EXPECT_EQ(dispCall(*c->dispatch(), "Stop"), S_OK);
    EXPECT_EQ(dispCall(*c->dispatch(), "Pause"), S_OK);
    Variant result;
    const Variant none[] = {Variant("")};
    EXPECT_EQ(dispCall(*c->dispatch(), "EnableAnchor", none, &result), S_OK);
    EXPECT_EQ(result, Variant(true));
    const Variant some[] = {Variant("CAR1")};
    EXPECT_EQ(dispCall(*c->dispatch(), "EnableAnchor", some, &result), S_OK);
    EXPECT_EQ(result, Variant(false));

    // The About box comes up modally over the control, by the method and by the menu.
    std::vector<QString> shown;
    auto closeAbout = [&] {
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_TRUE(modal);
            shown.push_back(modal->windowTitle());
            EXPECT_EQ(modal->parentWidget(), c.get());
            static_cast<QDialog*>(modal)->accept();
        });
    };
    closeAbout();
    EXPECT_EQ(dispCall(*c->dispatch(), DISPID_ABOUTBOX), S_OK);
    closeAbout();
    c->runMenuCommand(ID_MENU_ABOUT);
    EXPECT_EQ(shown,
              (std::vector<QString>{"About QX-MOVIE Control...", "About QX-MOVIE Control..."}));
}

TEST_F(DispatchTest, AutomationOutlivingItsControlFailsCleanly) {
    ComPtr<IDispatch> d;
    {
        auto c = makeControl();
        d = c->dispatch();
    }
    Variant v;
    EXPECT_EQ(dispGet(*d, "AutoPlay", v), E_UNEXPECTED);
    TypeLibrary lib;
    Guid clsid;
    ASSERT_TRUE(d.as<ITypeInfoProvider>());
    EXPECT_EQ(d.as<ITypeInfoProvider>()->getClassInfo(lib, clsid), S_OK);
    EXPECT_EQ(clsid, kClsidQXMovie);
}

// The object containers hold: persistence in both forms, activation, site requests, property
// browsing and the property sheet.
#include <QTabWidget>
#include <QTimer>

#include "platform/hosting/PropertyFrame.h"
#include "platform/propertybag/TextPropertyBag.h"
#include "player_control/control/tests/ControlTestSupport.h"
#include "player_control/module/QXMovieFactories.h"
#include "player_control/module/QXMovieObject.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::testing;

namespace {

class HostSite : public Object<IClientSite> {
public:
    std::optional<std::string> location;
    bool grant = true;
    std::vector<QSize> requested;
    IControlObject* object = nullptr;

    HRESULT pageLocation(std::string& url) override {
        if (!location) return S_FALSE;
        url = *location;
        return S_OK;
    }
    bool userMode() override { return true; }
    HRESULT requestNewObjectSize(QSize size) override {
        requested.push_back(size);
        if (!grant) return S_FALSE;
        return object->setObjectRect(QRect(QPoint(0, 0), size));
    }
};

class ObjectTest : public ControlTest {
protected:
    ComPtr<QXMovieObject> make() {
        ComPtr<IUnknown> unknown;
        EXPECT_EQ(createModuleObject(kClsidQXMovie, IID_IUnknown, unknown.putVoid()), S_OK);
        return ComPtr<QXMovieObject>(static_cast<QXMovieObject*>(unknown.as<IDispatch>().get()));
    }
    static ComPtr<TextPropertyBag> bag(std::initializer_list<const char*> lines) {
        auto b = makeObject<TextPropertyBag>();
        std::string error;
        for (const char* l : lines)
            EXPECT_EQ(b->addLine(l, &error), S_OK) << error;
        return b;
    }
    static std::string text(const TextPropertyBag& b) { return b.format(); }
    QWidget parent_;
};

} // namespace

TEST_F(ObjectTest, ABagRestoresThePropertiesAndTheMovieOpensOnlyWithTheWindow) {
    const std::string movie = writeMovie("clip.avi", 20);
    writeAnchors(movie, {anchorRecord("CAR1", "car", {{0, 10, 10, 60, 60}, {19, 20, 20, 70, 70}})});
    auto object = make();
    CQXMovieCtrl& c = *object->control();
    const std::string line = "MovieFile=" + movie;
    ASSERT_EQ(object->load(bag({line.c_str(), "AutoPlay=0", "ActivateMethod=1", "PlaybackRate=7",
                                "_ExtentX=10583", "_ExtentY=7938"})
                               .get()),
              S_OK);
    EXPECT_EQ(c.MovieFile(), movie);
    EXPECT_FALSE(c.AutoPlay());
    EXPECT_EQ(c.ActivateMethod(), 1);
    EXPECT_EQ(c.PlaybackRate(), 7); // loaded as it stands: loading checks nothing
    EXPECT_EQ(c.size(), QSize(400, 300));
    EXPECT_EQ(object->isDirty(), S_FALSE);
    // Nothing is read or opened before the window exists.
    EXPECT_EQ(c.anchorStore().Count(), 0);
    EXPECT_FALSE(c.engine());

    EventRecorder rec(c);
    QSize extent;
    object->getExtent(extent);
    ASSERT_EQ(object->activate(&parent_, QRect(QPoint(0, 0), extent)), S_OK);
    EXPECT_EQ(object->window(), &c);
    EXPECT_EQ(c.parentWidget(), &parent_);
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OpenComplete) > 0; }));
    EXPECT_EQ(c.AnchorNum(), 1);
    EXPECT_EQ(c.anchorStore().Count(), 1);
    EXPECT_EQ(object->activate(&parent_, QRect(0, 0, 10, 10)), E_UNEXPECTED);

    // Closing keeps the object and its properties; it can be activated again.
    ASSERT_EQ(object->close(), S_OK);
    EXPECT_FALSE(object->window());
    EXPECT_FALSE(c.engine());
    EXPECT_EQ(c.parentWidget(), nullptr);
    ASSERT_EQ(object->activate(&parent_, QRect(QPoint(0, 0), extent)), S_OK);
    object->close();
}

TEST_F(ObjectTest, ABadBagValueFailsTheLoadAndChangesNothing) {
    auto object = make();
    CQXMovieCtrl& c = *object->control();
    std::string message;
    EXPECT_EQ(object->load(bag({"ShowAnchor=True", "AutoPlay=banana"}).get(), &message),
              DISP_E_TYPEMISMATCH);
    EXPECT_NE(message.find("AutoPlay"), std::string::npos) << message;
    EXPECT_FALSE(c.ShowAnchor());
    EXPECT_TRUE(c.AutoPlay());
    EXPECT_EQ(object->load(static_cast<IPropertyBag*>(nullptr)), E_POINTER);
}

TEST_F(ObjectTest, BothFormsRoundTripExactlyAndInitNewResets) {
    auto first = make();
    CQXMovieCtrl& a = *first->control();
    ASSERT_EQ(put(a, "AutoRepeat", Variant(true)), S_OK);
    ASSERT_EQ(put(a, "CursorFile", Variant("/tmp/hand \"1\".cur")), S_OK);
    ASSERT_EQ(put(a, "PlaybackRate", Variant(2)), S_OK);
    ASSERT_EQ(put(a, "AnchorFrameOrigin", Variant(-40)), S_OK);
    ASSERT_EQ(first->setExtent(QSize(411, 233)), S_OK);
    EXPECT_EQ(first->isDirty(), S_OK);

    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(first->save(bytes, false), S_OK);
    EXPECT_EQ(first->isDirty(), S_OK);
    auto bagOut = makeObject<TextPropertyBag>();
    ASSERT_EQ(first->save(bagOut.get(), true, true), S_OK);
    EXPECT_EQ(first->isDirty(), S_FALSE);

    auto fromStream = make();
    ASSERT_EQ(fromStream->load(std::span<const std::uint8_t>(bytes)), S_OK);
    auto fromBag = make();
    ASSERT_EQ(fromBag->load(bagOut.get()), S_OK);
    for (QXMovieObject* o : {fromStream.get(), fromBag.get()}) {
        EXPECT_EQ(o->control()->state(), a.state());
        QSize extent;
        o->getExtent(extent);
        EXPECT_EQ(extent, QSize(411, 233));
    }
    std::vector<std::uint8_t> again;
    fromBag->save(again, false);
    EXPECT_EQ(again, bytes);

    // A stream cut inside a value is refused and changes nothing.
    std::string message;
    EXPECT_EQ(
        fromStream->load(std::span<const std::uint8_t>(bytes.data(), bytes.size() - 1), &message),
        STG_E_READFAULT);
    EXPECT_EQ(fromStream->control()->state(), a.state());

    ASSERT_EQ(fromBag->initNew(), S_OK);
    EXPECT_EQ(fromBag->control()->state(), QXMovieState{});
    Guid clsid;
    fromBag->getClassId(clsid);
    EXPECT_EQ(clsid, kClsidQXMovie);

    // Without saveAll a bag holds the header and what differs from the defaults.
    auto small = makeObject<TextPropertyBag>();
    ASSERT_EQ(first->save(small.get(), false, false), S_OK);
    std::vector<std::string> names;
    for (const auto& e : small->entries())
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"_Version", "_ExtentX", "_ExtentY", "AutoRepeat",
                                               "CursorFile", "PlaybackRate", "AnchorFrameOrigin"}));
}

TEST_F(ObjectTest, TheSiteGivesThePageLocationAndAnswersSizeRequests) {
    writeMovie("clip.avi", 10, 200, 150);
    auto object = make();
    auto site = makeObject<HostSite>();
    site->object = object.get();
    site->location = "file://" + dir_.string() + "/page.html";
    ASSERT_EQ(object->setClientSite(site.get()), S_OK);
    ASSERT_EQ(object->load(bag({"MovieFile=clip.avi", "AutoPlay=False"}).get()), S_OK);
    EventRecorder rec(*object->control());
    ASSERT_EQ(object->activate(&parent_, QRect(0, 0, 324, 275)), S_OK);
    ASSERT_TRUE(waitFor([&] { return rec.count(EVENTID_OpenComplete) > 0; }));
    // Restored, the property keeps the text it was saved with; the movie opened from the
    // page's folder.
    EXPECT_EQ(object->control()->MovieFile(), "clip.avi");
    EXPECT_EQ(object->control()->ImageSourceWidth(), 200);

    // Hiding the panel lays the control out anew at the size it asks its container for.
    ASSERT_EQ(put(*object->control(), "ShowControls", Variant(false)), S_OK);
    ASSERT_FALSE(site->requested.empty());
    EXPECT_EQ(object->control()->size(), site->requested.back());

    // A container that refuses leaves the control where it is.
    site->grant = false;
    site->requested.clear();
    ASSERT_EQ(object->setObjectRect(QRect(0, 0, 300, 300)), S_OK);
    const QSize before(300, 300);
    ASSERT_EQ(put(*object->control(), "ShowControls", Variant(true)), S_OK);
    ASSERT_FALSE(site->requested.empty());
    EXPECT_NE(site->requested.back(), before);
    EXPECT_EQ(object->control()->size(), before);
    object->setClientSite(nullptr);
    object->close();
}

TEST_F(ObjectTest, PropertyChangesReachNotifySinks) {
    class Sink : public Object<IPropertyNotifySink> {
    public:
        std::vector<DispId> changed;
        HRESULT onChanged(DispId id) override {
            changed.push_back(id);
            return S_OK;
        }
        HRESULT onRequestEdit(DispId) override { return S_OK; }
    };
    auto object = make();
    auto sink = makeObject<Sink>();
    std::uint32_t cookie = 0;
    ASSERT_EQ(object->advisePropertyNotify(sink.get(), cookie), S_OK);
    put(*object->control(), "CursorFile", Variant("a.cur"));
    put(*object->control(), "MovieFile", Variant("b.avi"));
    EXPECT_EQ(sink->changed, (std::vector<DispId>{DISPID_CursorFile, DISPID_MovieFile}));
    ASSERT_EQ(object->unadvisePropertyNotify(cookie), S_OK);
    EXPECT_EQ(object->unadvisePropertyNotify(cookie), CONNECT_E_NOCONNECTION);
}

TEST_F(ObjectTest, AMalformedAnchorFileFailsActivation) {
    const std::string movie = writeMovie("clip.avi", 10);
    writeText((dir_ / "clip.obj").string(), "[A:a:0-9:3]\n5:0,0,10,10;\n4:0,0,10,10;\n");
    auto object = make();
    const std::string line = "MovieFile=" + movie;
    ASSERT_EQ(object->load(bag({line.c_str()}).get()), S_OK);
    EXPECT_EQ(object->activate(&parent_, QRect(0, 0, 324, 275)), controlError(2002));
    EXPECT_FALSE(object->window());
    EXPECT_EQ(object->control()->parentWidget(), nullptr);
}

TEST_F(ObjectTest, PropertyBrowsingMapsPagesAndOffersPredefinedValues) {
    auto object = make();
    Guid page;
    bool optional = false;
    EXPECT_EQ(object->mapPropertyToPage(DISPID_MovieFile, page, &optional), S_OK);
    EXPECT_EQ(page, kClsidMovieFilePage);
    EXPECT_TRUE(optional);
    EXPECT_EQ(object->mapPropertyToPage(DISPID_CursorFile, page), S_OK);
    EXPECT_EQ(page, kClsidCursorFilePage);
    EXPECT_EQ(object->mapPropertyToPage(DISPID_AutoPlay, page), PERPROP_E_NOPAGEAVAILABLE);

    std::vector<std::string> strings;
    std::vector<std::uint32_t> cookies;
    ASSERT_EQ(object->getPredefinedStrings(DISPID_PlaybackRate, strings, cookies), S_OK);
    EXPECT_EQ(strings,
              (std::vector<std::string>{"0 - NormalSpeed", "1 - DoubleSpeed", "2 - OnehalfSpeed"}));
    Variant v;
    ASSERT_EQ(object->getPredefinedValue(DISPID_PlaybackRate, cookies[2], v), S_OK);
    EXPECT_EQ(v, Variant(2));
    EXPECT_EQ(object->getPredefinedValue(DISPID_PlaybackRate, 9, v), E_INVALIDARG);
    EXPECT_EQ(object->getPredefinedStrings(DISPID_MovieFile, strings, cookies), E_NOTIMPL);

    std::string text;
    ASSERT_EQ(put(*object->control(), "MovieWindowSetting", Variant(3)), S_OK);
    EXPECT_EQ(object->getDisplayString(DISPID_MovieWindowSetting, text), S_OK);
    EXPECT_EQ(text, "3 - OneFourThScreen");
    EXPECT_EQ(object->getDisplayString(DISPID_AutoPlay, text), S_FALSE);

    std::vector<Guid> pages;
    ASSERT_EQ(object->getPages(pages), S_OK);
    EXPECT_EQ(pages, std::vector<Guid>{kClsidGeneralPage});
}

TEST_F(ObjectTest, ThePropertiesVerbShowsTheGeneralPage) {
    auto object = make();
    ASSERT_EQ(put(*object->control(), "ActivateMethod", Variant(1)), S_OK);
    std::string caption;
    QStringList tabs;
    QTimer::singleShot(0, [&] {
        auto* frame = qobject_cast<PropertyFrame*>(QApplication::activeModalWidget());
        if (!frame) return;
        caption = frame->windowTitle().toStdString();
        for (int i = 0; i < frame->tabs()->count(); ++i)
            tabs << frame->tabs()->tabText(i);
        frame->reject();
    });
    EXPECT_EQ(object->doVerb(OLEIVERB_PROPERTIES, &parent_), S_OK);
    EXPECT_EQ(caption, "QX-MOVIE ActiveX Control Properties");
    EXPECT_EQ(tabs, QStringList{"General"});
    EXPECT_EQ(object->doVerb(-99, &parent_), OLEOBJ_E_INVALIDVERB);
}

TEST_F(ObjectTest, AContainerDestroyingTheWindowLeavesAnObjectThatFailsCleanly) {
    auto object = make();
    auto parent = std::make_unique<QWidget>();
    ASSERT_EQ(object->activate(parent.get(), QRect(0, 0, 324, 275)), S_OK);
    parent.reset(); // takes the control widget with it
    Variant v;
    EXPECT_EQ(dispGet(*object, "AutoPlay", v), E_UNEXPECTED);
    QSize size;
    EXPECT_EQ(object->getExtent(size), E_UNEXPECTED);
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(object->save(bytes, false), E_UNEXPECTED);
    EXPECT_EQ(object->close(), E_UNEXPECTED);
}

TEST_F(ObjectTest, ModuleObjectsCountTowardTheModulesLife) {
    const long before = moduleLife().objects();
    {
        auto object = make();
        ComPtr<IPropertyPage> page;
        ASSERT_EQ(createModulePage(kClsidCursorFilePage, page), S_OK);
        EXPECT_EQ(moduleLife().objects(), before + 2);
        EXPECT_EQ(createModulePage(kClsidQXMovie, page), E_NOINTERFACE);
    }
    EXPECT_EQ(moduleLife().objects(), before);
    ComPtr<IUnknown> none;
    EXPECT_EQ(createModuleObject(kLibidQXMOVIELib, IID_IUnknown, none.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
}

#include "platform/component/Dispatch.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace qxm;

namespace {

const Guid kIid = Guid::literal("{11111111-2222-3333-4444-555555555555}");

// A player-like object: validated, read-only, indexed and hidden properties, methods.
class Player : public DispatchObject<> {
public:
    Player() : DispatchObject({"_DPlayer", kIid}, "Player") {
        declareProperty(
            {.id = 1, .name = "Rate", .type = {VarType::I4}},
            [this](Args) { return Variant(rate_); },
            [this](Args, const Variant& v) {
                if (v.asI4() < 0 || v.asI4() > 2)
                    throw ComError(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value", 213);
                rate_ = v.asI4();
            });
        declareProperty(
            {.id = 2, .name = "AutoPlay", .type = {VarType::Bool}},
            [this](Args) { return Variant(autoPlay_); },
            [this](Args, const Variant& v) { autoPlay_ = v.asBool(); });
        declareProperty({.id = 3, .name = "Count", .type = {VarType::I4}, .flags = MEMBER_HIDDEN},
                        [this](Args) { return Variant(std::int32_t(names_.size())); });
        declareProperty({.id = 4,
                         .name = "Item",
                         .type = {VarType::BStr},
                         .params = {{"nIndex", {VarType::I4}}}},
                        [this](Args a) {
                            std::int32_t i = a[0].asI4();
                            if (i < 0 || i >= std::int32_t(names_.size()))
                                throw ComError(CTL_E_INVALIDPROPERTYARRAYINDEX,
                                               "Invalid Property Array Index", 214);
                            return Variant(names_[std::size_t(i)]);
                        });
        declareProperty({.id = 5, .name = "Position", .type = {VarType::I4}},
                        [](Args) -> Variant { throw ComError::code(E_UNEXPECTED); });
        declareMethod({.id = 10,
                       .name = "Play",
                       .type = {VarType::Void},
                       .params = {{"FrameNo", {VarType::I4}}}},
                      [this](Args a) {
                          played_.push_back(a[0].asI4());
                          return Variant(99); // dropped: the method has no result
                      });
        declareMethod({.id = 11,
                       .name = "Seek",
                       .type = {VarType::I2},
                       .params = {{"to", {VarType::I4}},
                                  {"step", {VarType::I2}, true, Variant(std::int16_t(5))}}},
                      [](Args a) { return Variant(a[0].asI4() + a[1].asI2()); });
        declareMethod({.id = 12, .name = "Fail", .type = {VarType::Void}},
                      [](Args) -> Variant { throw std::runtime_error("broken"); });
        declareMethod({.id = DISPID_ABOUTBOX, .name = "AboutBox", .type = {VarType::Void}},
                      [this](Args) {
                          ++abouts_;
                          return Variant();
                      });
    }
    std::int32_t rate_ = 0;
    bool autoPlay_ = true;
    std::vector<std::string> names_{"a1", "b2"};
    std::vector<std::int32_t> played_;
    int abouts_ = 0;
};

} // namespace

TEST(Dispatch, ReachesMembersByIdAndByNameWithoutCase) {
    auto p = makeObject<Player>();
    DispId id = 0;
    ASSERT_EQ(p->getIdOfName("rAtE", id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(p->getIdOfName("aboutbox", id), S_OK);
    EXPECT_EQ(id, DISPID_ABOUTBOX);
    EXPECT_EQ(p->getIdOfName("Rates", id), DISP_E_UNKNOWNNAME);

    EXPECT_EQ(dispPut(*p, "rate", Variant(2)), S_OK);
    Variant v;
    EXPECT_EQ(dispGet(*p, 1, v), S_OK);
    EXPECT_EQ(v, Variant(2));
    EXPECT_EQ(dispPut(*p, 2, Variant("False")), S_OK); // converted to the property's type
    EXPECT_FALSE(p->autoPlay_);
    EXPECT_EQ(dispGet(*p, "AUTOPLAY", v), S_OK);
    EXPECT_EQ(v, Variant(false));
    EXPECT_EQ(dispCall(*p, "Play", std::vector<Variant>{Variant("7")}), S_OK);
    EXPECT_EQ(dispCall(*p, DISPID_ABOUTBOX), S_OK);
    EXPECT_EQ(p->played_, std::vector<std::int32_t>{7});
    EXPECT_EQ(p->abouts_, 1);
}

TEST(Dispatch, ValidationErrorsCarryExceptionInfoAndKeepTheValue) {
    auto p = makeObject<Player>();
    ExcepInfo e;
    EXPECT_EQ(dispPut(*p, "Rate", Variant(3), &e), DISP_E_EXCEPTION);
    EXPECT_EQ(e.scode, CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(std::uint32_t(e.scode), 0x800A017Cu);
    EXPECT_EQ(e.description, "Invalid Property Value");
    EXPECT_EQ(e.helpContext, 213u);
    EXPECT_EQ(e.source, "Player");
    EXPECT_EQ(p->rate_, 0);
    // No ExcepInfo supplied: the call still fails the same way.
    EXPECT_EQ(dispPut(*p, "Rate", Variant(-1)), DISP_E_EXCEPTION);

    Variant v("old");
    ExcepInfo e2;
    EXPECT_EQ(dispGet(*p, "Item", v, &e2, std::vector<Variant>{Variant(2)}), DISP_E_EXCEPTION);
    EXPECT_EQ(e2.scode, CTL_E_INVALIDPROPERTYARRAYINDEX);
    EXPECT_EQ(e2.helpContext, 214u);
    EXPECT_EQ(v, Variant("old"));
    EXPECT_EQ(dispGet(*p, "Item", v, nullptr, std::vector<Variant>{Variant(1)}), S_OK);
    EXPECT_EQ(v, Variant("b2"));
}

TEST(Dispatch, ReadOnlyPutIsSetNotSupported) {
    auto p = makeObject<Player>();
    const MemberInfo* count = p->interfaceInfo().find("Count");
    ASSERT_TRUE(count);
    EXPECT_TRUE(count->has(MEMBER_READONLY));
    EXPECT_TRUE(count->has(MEMBER_HIDDEN));
    ExcepInfo e;
    EXPECT_EQ(dispPut(*p, "Count", Variant(5), &e), DISP_E_EXCEPTION);
    EXPECT_EQ(std::uint32_t(e.scode), 0x800A017Fu);
    Variant v;
    EXPECT_EQ(dispGet(*p, "Count", v), S_OK);
    EXPECT_EQ(v, Variant(2));
}

TEST(Dispatch, CallShapeErrors) {
    auto p = makeObject<Player>();
    Variant v;
    std::uint32_t argErr = 77;
    EXPECT_EQ(p->invoke(42, DISPATCH_METHOD, {}, &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispCall(*p, "Play"), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(dispCall(*p, "Play", std::vector<Variant>{Variant(1), Variant(2)}),
              DISP_E_BADPARAMCOUNT);
    std::vector<Variant> bad{Variant("x")};
    EXPECT_EQ(p->invoke(10, DISPATCH_METHOD, bad, &v, nullptr, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    std::vector<Variant> badValue{Variant("fast")};
    EXPECT_EQ(p->invoke(1, DISPATCH_PROPERTYPUT, badValue, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(p->invoke(1, DISPATCH_PROPERTYPUT, {}, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(p->invoke(10, DISPATCH_PROPERTYPUT, std::vector<Variant>{Variant(1)}, nullptr),
              DISP_E_MEMBERNOTFOUND); // methods cannot be put
    EXPECT_EQ(dispGet(*p, "Item", v), DISP_E_BADPARAMCOUNT);
    EXPECT_TRUE(p->played_.empty());
}

TEST(Dispatch, ResultsOptionalArgumentsAndGetAsMethod) {
    auto p = makeObject<Player>();
    Variant r;
    EXPECT_EQ(dispCall(*p, "Seek", std::vector<Variant>{Variant(10)}, &r), S_OK);
    EXPECT_EQ(r, Variant(std::int16_t(15))); // default step, result converted to I2
    EXPECT_EQ(dispCall(*p, "Seek", std::vector<Variant>{Variant(10), Variant(1.0)}, &r), S_OK);
    EXPECT_EQ(r, Variant(std::int16_t(11)));
    EXPECT_EQ(dispCall(*p, "Seek", std::vector<Variant>{Variant(40000), Variant(0)}, &r),
              DISP_E_TYPEMISMATCH); // the result does not fit its type
    r = Variant("x");
    EXPECT_EQ(dispCall(*p, "Play", std::vector<Variant>{Variant(1)}, &r), S_OK);
    EXPECT_TRUE(r.isEmpty());
    // Scripts read indexed properties with METHOD | PROPERTYGET.
    EXPECT_EQ(
        p->invoke(4, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::vector<Variant>{Variant(0)}, &r),
        S_OK);
    EXPECT_EQ(r, Variant("a1"));
}

TEST(Dispatch, PlainCodesAndForeignExceptions) {
    auto p = makeObject<Player>();
    Variant v;
    ExcepInfo e;
    EXPECT_EQ(dispGet(*p, "Position", v, &e), E_UNEXPECTED); // passed on unchanged
    EXPECT_EQ(dispCall(*p, "Fail", {}, nullptr, &e), DISP_E_EXCEPTION);
    EXPECT_EQ(e.scode, E_FAIL);
    EXPECT_EQ(e.description, "broken");
}

TEST(Dispatch, DeclaringTwiceIsRefused) {
    auto p = makeObject<Player>();
    EXPECT_THROW(p->declareMethod({.id = 1, .name = "Other"}, [](Args) { return Variant(); }),
                 std::logic_error);
    EXPECT_THROW(p->declareMethod({.id = 77, .name = "rate"}, [](Args) { return Variant(); }),
                 std::logic_error);
    InterfaceInfo info;
    ASSERT_EQ(p->getTypeInfo(info), S_OK);
    EXPECT_EQ(info.name, "_DPlayer");
    EXPECT_EQ(info.members.size(), 9u);
    ASSERT_TRUE(info.find(4));
    EXPECT_EQ(info.find(4)->params.at(0).name, "nIndex");
}

TEST(Object, QueryInterfaceAndReferenceCounts) {
    auto p = makeObject<Player>();
    ComPtr<IUnknown> unk = p.as<IUnknown>();
    ASSERT_TRUE(unk);
    ComPtr<IDispatch> d = unk.as<IDispatch>();
    EXPECT_EQ(static_cast<IDispatch*>(p.get()), d.get());
    EXPECT_FALSE(p.as<IClassFactory>());
    void* raw = reinterpret_cast<void*>(1);
    EXPECT_EQ(p->queryInterface(IID_IClassFactory, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(p->queryInterface(IID_IDispatch, nullptr), E_POINTER);
    EXPECT_EQ(p->addRef(), 4u); // p, unk, d and this one
    EXPECT_EQ(p->release(), 3u);
}

namespace {

struct Recorded {
    int sink;
    DispId id;
    std::vector<Variant> args;
};

class Source {
public:
    ConnectionPoint cp;
    std::vector<Recorded> log;
    ComPtr<IDispatch> sink(int n, std::function<void()> extra = {}) {
        return makeEventSink([this, n, extra](DispId id, Args a) {
            log.push_back({n, id, std::vector<Variant>(a.begin(), a.end())});
            if (extra) extra();
        });
    }
};

} // namespace

TEST(Events, DeliveredToEverySinkInOrderWithArguments) {
    Source s;
    std::uint32_t c1 = 0, c2 = 0;
    ASSERT_EQ(s.cp.advise(s.sink(1).get(), c1), S_OK);
    ASSERT_EQ(s.cp.advise(s.sink(2).get(), c2), S_OK); // the source keeps the sinks alive
    EXPECT_NE(c1, c2);
    s.cp.fire(6, {Variant(1), Variant(2)});
    ASSERT_EQ(s.log.size(), 2u);
    EXPECT_EQ(s.log[0].sink, 1);
    EXPECT_EQ(s.log[1].sink, 2);
    EXPECT_EQ(s.log[1].id, 6);
    EXPECT_EQ(s.log[1].args, (std::vector<Variant>{Variant(1), Variant(2)}));
    EXPECT_EQ(s.cp.unadvise(c1), S_OK);
    EXPECT_EQ(s.cp.unadvise(c1), CONNECT_E_NOCONNECTION);
    s.cp.fire(5, {Variant("A1")});
    ASSERT_EQ(s.log.size(), 3u);
    EXPECT_EQ(s.log[2].sink, 2);
    EXPECT_EQ(s.cp.advise(nullptr, c1), E_POINTER);
}

TEST(Events, DisconnectingDuringDeliveryIsSafe) {
    Source s;
    std::uint32_t c1 = 0, c2 = 0, c3 = 0;
    // Sink 1 disconnects itself and sink 2; it is the only reference the source holds.
    s.cp.advise(s.sink(1,
                       [&] {
                           s.cp.unadvise(c1);
                           s.cp.unadvise(c2);
                       })
                    .get(),
                c1);
    s.cp.advise(s.sink(2).get(), c2);
    s.cp.advise(s.sink(3).get(), c3);
    s.cp.fire(1);
    ASSERT_EQ(s.log.size(), 2u);
    EXPECT_EQ(s.log[0].sink, 1);
    EXPECT_EQ(s.log[1].sink, 3);
    EXPECT_EQ(s.cp.sinkCount(), 1u);
    s.cp.fire(2);
    EXPECT_EQ(s.log.size(), 3u);
}

TEST(Events, SinkConnectedDuringDeliveryGetsTheNextEvent) {
    Source s;
    std::uint32_t c1 = 0, c2 = 0;
    bool added = false;
    s.cp.advise(s.sink(1,
                       [&] {
                           if (!added) s.cp.advise(s.sink(2).get(), c2);
                           added = true;
                       })
                    .get(),
                c1);
    s.cp.fire(1);
    ASSERT_EQ(s.log.size(), 1u);
    s.cp.fire(2);
    ASSERT_EQ(s.log.size(), 3u);
    EXPECT_EQ(s.log[2].sink, 2);
    EXPECT_EQ(s.log[2].id, 2);
}

namespace {

class NotifySink : public Object<IPropertyNotifySink> {
public:
    std::vector<DispId> changed;
    std::vector<DispId> asked;
    HRESULT answer = S_OK;
    std::function<void()> onChange;
    HRESULT onChanged(DispId id) override {
        changed.push_back(id);
        if (onChange) onChange();
        return S_OK;
    }
    HRESULT onRequestEdit(DispId id) override {
        asked.push_back(id);
        return answer;
    }
};

} // namespace

TEST(PropertyNotify, ChangesReachSinksAndAnyRefusalWins) {
    PropertyNotifier n;
    auto a = makeObject<NotifySink>();
    auto b = makeObject<NotifySink>();
    std::uint32_t ca = 0, cb = 0;
    ASSERT_EQ(n.advise(a.get(), ca), S_OK);
    ASSERT_EQ(n.advise(b.get(), cb), S_OK);
    EXPECT_TRUE(n.requestEdit(4));
    b->answer = S_FALSE;
    EXPECT_FALSE(n.requestEdit(15));
    EXPECT_EQ(a->asked, (std::vector<DispId>{4, 15}));
    a->onChange = [&] { n.unadvise(cb); }; // b goes before its turn
    n.changed(4);
    EXPECT_EQ(a->changed, std::vector<DispId>{4});
    EXPECT_TRUE(b->changed.empty());
    EXPECT_EQ(n.sinkCount(), 1u);
    EXPECT_EQ(n.unadvise(cb), CONNECT_E_NOCONNECTION);
    EXPECT_TRUE(n.requestEdit(1)); // b is gone, a allows
}

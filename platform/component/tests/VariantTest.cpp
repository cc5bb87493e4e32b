#include "platform/component/Variant.h"
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"

#include <gtest/gtest.h>

using namespace qxm;

namespace {

Variant convert(const Variant& v, VarType t, HRESULT expected = S_OK) {
    Variant out("untouched");
    EXPECT_EQ(v.changeType(t, out), expected) << varTypeName(t);
    return out;
}

} // namespace

TEST(Variant, EmptyConvertsToZeroFalseAndEmptyString) {
    Variant e;
    EXPECT_TRUE(e.isEmpty());
    EXPECT_EQ(convert(e, VarType::Bool), Variant(false));
    EXPECT_EQ(convert(e, VarType::I2), Variant(std::int16_t(0)));
    EXPECT_EQ(convert(e, VarType::I4), Variant(0));
    EXPECT_EQ(convert(e, VarType::R8), Variant(0.0));
    EXPECT_EQ(convert(e, VarType::BStr), Variant(""));
    EXPECT_TRUE(convert(Variant(5), VarType::Empty).isEmpty());
}

TEST(Variant, BooleansUseMinusOneForTrue) {
    EXPECT_EQ(convert(Variant(true), VarType::I4), Variant(-1));
    EXPECT_EQ(convert(Variant(true), VarType::I2), Variant(std::int16_t(-1)));
    EXPECT_EQ(convert(Variant(false), VarType::I4), Variant(0));
    EXPECT_EQ(convert(Variant(true), VarType::BStr), Variant("True"));
    EXPECT_EQ(convert(Variant(false), VarType::BStr), Variant("False"));
    EXPECT_EQ(convert(Variant(7), VarType::Bool), Variant(true));
    EXPECT_EQ(convert(Variant(0.0), VarType::Bool), Variant(false));
    EXPECT_EQ(convert(Variant(" tRUe "), VarType::Bool), Variant(true));
    EXPECT_EQ(convert(Variant("FALSE"), VarType::Bool), Variant(false));
    EXPECT_EQ(convert(Variant("-1"), VarType::Bool), Variant(true));
    EXPECT_EQ(convert(Variant("0"), VarType::Bool), Variant(false));
}

TEST(Variant, DoublesRoundHalfToEvenIntoIntegers) {
    EXPECT_EQ(convert(Variant(2.5), VarType::I4), Variant(2));
    EXPECT_EQ(convert(Variant(3.5), VarType::I4), Variant(4));
    EXPECT_EQ(convert(Variant(-2.5), VarType::I4), Variant(-2));
    EXPECT_EQ(convert(Variant(-2.6), VarType::I2), Variant(std::int16_t(-3)));
    EXPECT_EQ(convert(Variant(" 2.5 "), VarType::I4), Variant(2));
}

TEST(Variant, OutOfRangeIsOverflowAndLeavesTargetAlone) {
    EXPECT_EQ(convert(Variant(40000), VarType::I2, DISP_E_OVERFLOW), Variant("untouched"));
    EXPECT_EQ(convert(Variant(-32769), VarType::I2, DISP_E_OVERFLOW), Variant("untouched"));
    convert(Variant(32767), VarType::I2);
    convert(Variant(3e9), VarType::I4, DISP_E_OVERFLOW);
    convert(Variant(2147483647.0), VarType::I4);
    convert(Variant("2147483648"), VarType::I4, DISP_E_OVERFLOW);
    convert(Variant("1e400"), VarType::R8, DISP_E_OVERFLOW);
}

TEST(Variant, StringsParseAsDecimalNumbersOrMismatch) {
    EXPECT_EQ(convert(Variant(" -12 "), VarType::I4), Variant(-12));
    EXPECT_EQ(convert(Variant("+7"), VarType::I2), Variant(std::int16_t(7)));
    EXPECT_EQ(convert(Variant("0.25"), VarType::R8), Variant(0.25));
    for (const char* bad : {"", " ", "abc", "12abc", "1 2", "++1", "nan", "inf", "0x10"})
        convert(Variant(bad), VarType::I4, DISP_E_TYPEMISMATCH);
    convert(Variant("yes"), VarType::Bool, DISP_E_TYPEMISMATCH);
}

TEST(Variant, NumbersFormatShortestDecimal) {
    EXPECT_EQ(convert(Variant(0.1), VarType::BStr), Variant("0.1"));
    EXPECT_EQ(convert(Variant(-3.0), VarType::BStr), Variant("-3"));
    EXPECT_EQ(convert(Variant(std::int16_t(-32768)), VarType::BStr), Variant("-32768"));
    double back = 0;
    ASSERT_EQ(Variant(convert(Variant(1.0 / 3), VarType::BStr)).toR8(back), S_OK);
    EXPECT_EQ(back, 1.0 / 3);
}

TEST(Variant, TypedReadsThrowPlainCodes) {
    EXPECT_EQ(Variant("42").asI4(), 42);
    EXPECT_EQ(Variant(42).asString(), "42");
    try {
        Variant("x").asI4();
        FAIL() << "no throw";
    } catch (const ComError& e) {
        EXPECT_EQ(e.scode(), DISP_E_TYPEMISMATCH);
        EXPECT_FALSE(e.hasInfo());
    }
    EXPECT_EQ(Variant().changeType(VarType::Void, *std::make_unique<Variant>()), DISP_E_BADVARTYPE);
}

TEST(Guid, ParsesAndFormatsBracedForm) {
    auto g = Guid::parse("{7dd95801-9882-11cf-9fa9-00aa006c42c4}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->data1, 0x7DD95801u);
    EXPECT_EQ(g->data2, 0x9882);
    EXPECT_EQ(g->data3, 0x11CF);
    EXPECT_EQ(g->data4[0], 0x9F);
    EXPECT_EQ(g->data4[7], 0xC4);
    EXPECT_EQ(g->toString(), "{7DD95801-9882-11CF-9FA9-00AA006C42C4}");
    EXPECT_EQ(Guid::parse(g->toString()), g);
    for (const char* bad :
         {"7DD95801-9882-11CF-9FA9-00AA006C42C4", "{7DD95801-9882-11CF-9FA9-00AA006C42C}",
          "{7DD95801-9882-11CF-9FA900AA006C42C4-}", "{7DD9580G-9882-11CF-9FA9-00AA006C42C4}",
          "{7DD95801-9882-11CF-9FA9-00AA006C42C4} ", ""})
        EXPECT_FALSE(Guid::parse(bad)) << bad;
    static_assert(Guid::literal("{00020400-0000-0000-C000-000000000046}") == IID_IDispatch);
}

TEST(Guid, CreatedIdsAreVersion4AndDistinct) {
    Guid a = Guid::create(), b = Guid::create();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.data3 >> 12, 4);
    EXPECT_EQ(a.data4[0] & 0xC0, 0x80);
    EXPECT_FALSE(a.isNull());
    EXPECT_TRUE(Guid{}.isNull());
}

TEST(HResult, CodesHaveTheirNumericValues) {
    EXPECT_EQ(std::uint32_t(controlError(380)), 0x800A017Cu);
    EXPECT_EQ(std::uint32_t(CTL_E_INVALIDPROPERTYARRAYINDEX), 0x800A017Du);
    EXPECT_EQ(std::uint32_t(CTL_E_SETNOTSUPPORTED), 0x800A017Fu);
    EXPECT_EQ(std::uint32_t(controlError(2002)), 0x800A07D2u);
    EXPECT_EQ(hresultFacility(controlError(2002)), FACILITY_CONTROL);
    EXPECT_EQ(hresultCode(controlError(2002)), 2002);
    EXPECT_EQ(std::uint32_t(DISP_E_EXCEPTION), 0x80020009u);
    EXPECT_EQ(std::uint32_t(REGDB_E_CLASSNOTREG), 0x80040154u);
    EXPECT_EQ(formatHResult(S_OK), "0x00000000");
    EXPECT_EQ(formatHResult(SELFREG_E_CLASS), "0x80040201");
    EXPECT_TRUE(succeeded(S_FALSE));
    EXPECT_TRUE(failed(E_FAIL));
    EXPECT_EQ(hresultMessage(REGDB_E_CLASSNOTREG), "Class not registered");
    EXPECT_EQ(hresultMessage(hresultFromBits(0x80041234)), "0x80041234");
}

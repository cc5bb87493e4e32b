// The exchange of values with objects by property name, without widgets.
#include "player_control/pages/PageExchange.h"

#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::testing;

namespace {

PageExchange generalExchange() {
    PageExchange x;
    x.add(ExchangeKind::Check, 203, "AutoRepeat");
    x.add(ExchangeKind::Check, 207, "ChangeCursor");
    x.add(ExchangeKind::Radio, 209, "ActivateMethod");
    x.add(ExchangeKind::Text, 211, "MovieFile");
    return x;
}

} // namespace

TEST(PageExchange, StartsEmptyReadsTheObjectAndKeepsWhatItCannotRead) {
    PageExchange x = generalExchange();
    EXPECT_EQ(x.entry(0).number, 0);
    EXPECT_EQ(x.entry(2).number, -1);
    EXPECT_EQ(x.entry(3).text, "");
    EXPECT_FALSE(x.anyChanged());

    auto bare = makeObject<BareObject>();
    x.read(*bare);
    EXPECT_EQ(x.entry(0).number, 0);
    EXPECT_EQ(x.entry(2).number, -1);

    auto movie = makeObject<FakeMovie>();
    movie->AutoRepeat = true;
    movie->ActivateMethod = 1;
    movie->MovieFile = "clip.avi";
    x.setNumber(1, 1); // a change the read replaces
    x.read(*movie);
    EXPECT_EQ(x.entry(0).number, 1);
    EXPECT_EQ(x.entry(1).number, 0);
    EXPECT_EQ(x.entry(2).number, 1);
    EXPECT_EQ(x.entry(3).text, "clip.avi");
    EXPECT_FALSE(x.anyChanged());
}

TEST(PageExchange, ApplyPutsTheChangedEntriesInOrderOnEveryObjectWithTheirTypes) {
    PageExchange x = generalExchange();
    auto a = makeObject<FakeMovie>();
    auto b = makeObject<FakeMovie>();
    x.read(*a);
    x.setText(3, "new.mpg");
    x.setNumber(2, 1);
    x.setNumber(0, 1);
    EXPECT_TRUE(x.anyChanged());
    EXPECT_EQ(PageExchange::valueOf(x.entry(0)), Variant(true));
    EXPECT_EQ(PageExchange::valueOf(x.entry(2)), Variant(std::int32_t(1)));
    EXPECT_EQ(PageExchange::valueOf(x.entry(3)), Variant("new.mpg"));

    std::vector<ComPtr<IDispatch>> objects{a, b};
    std::string error;
    EXPECT_EQ(x.apply(objects, error), S_OK);
    const std::vector<std::string> expected{"AutoRepeat=1", "ActivateMethod=1",
                                            "MovieFile=new.mpg"};
    EXPECT_EQ(a->puts, expected);
    EXPECT_EQ(b->puts, expected);
    EXPECT_FALSE(x.anyChanged());
    EXPECT_EQ(x.apply(objects, error), S_OK); // nothing changed: nothing put
    EXPECT_EQ(a->puts.size(), 3u);
}

TEST(PageExchange, ARefusalStopsAndKeepsTheRestForLater) {
    PageExchange x = generalExchange();
    auto a = makeObject<FakeMovie>();
    auto b = makeObject<FakeMovie>();
    b->refuseActivateMethod = true;
    x.setNumber(0, 1);
    x.setNumber(2, 1);
    x.setText(3, "later.avi");
    std::vector<ComPtr<IDispatch>> objects{a, b};
    std::string error;
    EXPECT_EQ(x.apply(objects, error), DISP_E_EXCEPTION);
    EXPECT_EQ(error, "Invalid Property Value");
    EXPECT_FALSE(x.entry(0).changed); // put on both objects
    EXPECT_TRUE(x.entry(2).changed);
    EXPECT_TRUE(x.entry(3).changed);
    EXPECT_EQ(b->MovieFile, "");

    b->refuseActivateMethod = false;
    EXPECT_EQ(x.apply(objects, error), S_OK);
    EXPECT_EQ(b->puts, (std::vector<std::string>{"AutoRepeat=1", "ActivateMethod=1",
                                                 "MovieFile=later.avi"}));

    // An object without the property: the code's own text.
    auto bare = makeObject<BareObject>();
    x.setNumber(1, 1);
    std::vector<ComPtr<IDispatch>> bareOnly{bare};
    EXPECT_EQ(x.apply(bareOnly, error), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(error, hresultMessage(DISP_E_UNKNOWNNAME));
}

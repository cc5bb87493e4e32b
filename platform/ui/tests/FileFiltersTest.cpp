#include "platform/ui/FileFilters.h"

#include <gtest/gtest.h>

using namespace qxm::ui;
using Filters = std::vector<std::string>;

TEST(FileFilters, DescriptionsEndingWithTheirPatternsAreKept) {
    EXPECT_EQ(nameFiltersFromTable("Movie files(*.avi *.mpg *.mov)|*.avi;*.mpg;*.mov||"),
              Filters{"Movie files(*.avi *.mpg *.mov)"});
    EXPECT_EQ(nameFiltersFromTable("Cursor files(*.cur *.ani)|*.cur;*.ani||"),
              Filters{"Cursor files(*.cur *.ani)"});
}

TEST(FileFilters, PatternsAreAddedWhereTheDescriptionDoesNotShowThem) {
    EXPECT_EQ(nameFiltersFromTable("Text|*.txt|All files|*.*||"),
              (Filters{"Text (*.txt)", "All files (*.*)"}));
    // Shown patterns that differ from the real ones: the real ones are added, last.
    EXPECT_EQ(nameFiltersFromTable("Movies (*.avi)|*.avi;*.mov||"),
              Filters{"Movies (*.avi) (*.avi *.mov)"});
    // Blanks around patterns and empty patterns are dropped.
    EXPECT_EQ(nameFiltersFromTable("  Both |  *.a ; ;*.b  ||"), Filters{"Both (*.a *.b)"});
    EXPECT_EQ(nameFiltersFromTable("   |*.a||"), Filters{"*.a"});
}

TEST(FileFilters, EndsAndMalformedLists) {
    EXPECT_EQ(nameFiltersFromTable(""), Filters{});
    EXPECT_EQ(nameFiltersFromTable("||"), Filters{});
    EXPECT_EQ(nameFiltersFromTable("|*.a||"), Filters{}); // an empty description ends the list
    EXPECT_EQ(nameFiltersFromTable("A|*.a"), Filters{"A (*.a)"}); // no terminator
    EXPECT_EQ(nameFiltersFromTable("A|*.a||B|*.b||"), Filters{"A (*.a)"});
    EXPECT_EQ(nameFiltersFromTable("A||"), Filters{"A (*)"});
    EXPECT_EQ(nameFiltersFromTable("A|*.a|B"), (Filters{"A (*.a)", "B (*)"}));
}

TEST(FileFilters, SelectedPositionFallsBackToTheFirst) {
    EXPECT_EQ(selectedFilterPosition(1, 3), 0u);
    EXPECT_EQ(selectedFilterPosition(3, 3), 2u);
    EXPECT_EQ(selectedFilterPosition(4, 3), 0u);
    EXPECT_EQ(selectedFilterPosition(0, 3), 0u);
    EXPECT_EQ(selectedFilterPosition(-1, 3), 0u);
    EXPECT_EQ(selectedFilterPosition(1, 0), 0u);
}

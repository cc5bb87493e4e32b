#pragma once
// File-type filters as string tables write them ("desc|pat;pat|desc2|pat2||") turned into the
// name filters of a file dialog ("desc (pat pat)"), which filter by the patterns in the last
// parentheses and show the whole text.
#include <string>
#include <string_view>
#include <vector>

namespace qxm::ui {

// One name filter a pair. A description that already ends with its patterns in parentheses
// ("Movie files(*.avi *.mpg)") is kept as it is; otherwise the patterns are added in
// parentheses. An empty part where a description is due ends the list (so "||" ends it); a
// blank description shows the patterns alone; a last description without patterns stands for
// every file ("*"). Blanks around patterns are dropped; an empty filter gives no name filters.
std::vector<std::string> nameFiltersFromTable(std::string_view filter);

// The 0-based position of the filter a 1-based index selects: the first one when the index is
// outside 1..count.
std::size_t selectedFilterPosition(int filterIndex, std::size_t count);

} // namespace qxm::ui

#include "platform/ui/FileFilters.h"
#include "platform/text/Trim.h"

namespace qxm::ui {
namespace {

// The parts between '|' up to the first empty part after the last pair ("||" ends the list).
std::vector<std::string_view> splitParts(std::string_view filter) {
    std::vector<std::string_view> parts;
    while (!filter.empty()) {
        const std::size_t bar = filter.find('|');
        const std::string_view part = filter.substr(0, bar);
        // An empty part where a description is due ends the list.
        if (part.empty() && parts.size() % 2 == 0) break;
        parts.push_back(part);
        if (bar == std::string_view::npos) break;
        filter.remove_prefix(bar + 1);
    }
    return parts;
}

// "*.avi;*.mpg" as "*.avi *.mpg".
std::string blankSeparated(std::string_view patterns) {
    std::string out;
    while (true) {
        const std::size_t semi = patterns.find(';');
        const std::string_view p = trim(patterns.substr(0, semi));
        if (!p.empty()) {
            if (!out.empty()) out += ' ';
            out += p;
        }
        if (semi == std::string_view::npos) break;
        patterns.remove_prefix(semi + 1);
    }
    return out;
}

} // namespace

std::vector<std::string> nameFiltersFromTable(std::string_view filter) {
    const std::vector<std::string_view> parts = splitParts(filter);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const std::string description(trim(parts[i]));
        std::string patterns = i + 1 < parts.size() ? blankSeparated(parts[i + 1]) : "";
        if (patterns.empty()) patterns.push_back('*');
        if (description.empty()) {
            out.push_back(patterns);
            continue;
        }
        const std::string shown = "(" + patterns + ")";
        const bool endsWithPatterns =
            description.size() >= shown.size() &&
            description.compare(description.size() - shown.size(), shown.size(), shown) == 0;
        out.push_back(endsWithPatterns ? description : description + " " + shown);
    }
    return out;
}

std::size_t selectedFilterPosition(int filterIndex, std::size_t count) {
    if (filterIndex < 1 || std::size_t(filterIndex) > count) return 0;
    return std::size_t(filterIndex - 1);
}

} // namespace qxm::ui

#include "player_control/cursors/BuiltinCursor.h"

#include <cstddef>
#include <string_view>

namespace qxm::cursors {

namespace {

constexpr int kSize = 32;
constexpr int kHotspotX = 5;
constexpr int kHotspotY = 0;

// 'X' black outline, '.' white fill, anything else transparent; rows from the top.
constexpr std::string_view kHand[] = {
    "     XX",           "    X..X",          "    X..X",          "    X..X",
    "    X..X",          "    X..XXX",        "    X..X..XXX",     "    X..X..X..XX",
    "    X..X..X..X.X",  "XX  X..X..X..X..X", "X..XX........X..X", "X...X...........X",
    " X..X...........X", "  X.X...........X", "  X.............X", "   X............X",
    "   X...........X",  "    X..........X",  "    X.........X",   "     X........X",
    "     X........X",   "     XXXXXXXXXX",
};

} // namespace

std::vector<std::uint8_t> builtinAnchorCursorFile() {
    CursorImage img;
    img.width = kSize;
    img.height = kSize;
    img.hotspotX = kHotspotX;
    img.hotspotY = kHotspotY;
    img.bitCount = 32;
    img.rgba.assign(std::size_t{kSize} * kSize * 4, 0);
    int y = 0;
    for (std::string_view row : kHand) {
        for (std::size_t x = 0; x < row.size(); ++x) {
            if (row[x] != 'X' && row[x] != '.') continue;
            std::uint8_t* p = img.rgba.data() + (std::size_t(y) * kSize + x) * 4;
            const std::uint8_t v = row[x] == 'X' ? 0 : 255;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
        ++y;
    }
    return writeCursorFile(img);
}

CursorData builtinAnchorCursor() {
    CursorData data;
    readCursor(builtinAnchorCursorFile(), data);
    return data;
}

} // namespace qxm::cursors

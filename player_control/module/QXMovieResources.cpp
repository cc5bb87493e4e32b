// The module's resources, readable from the file (ModuleResources.h): the version block and
// the toolbox bitmap 1 that containers show for the control.
#include <array>
#include <string>
#include <string_view>

#include "platform/component/ModuleResources.h"
#include "player_control/pages/QXMovieVersion.h"

namespace qxm::qxmovie {
namespace {

constexpr std::string versionBlock() {
    std::string s;
    auto line = [&s](std::string_view name, std::string_view value) {
        s += name;
        s += '=';
        s += value;
        s += '\n';
    };
    line("FileVersion", kFileVersion);
    line("ProductVersion", kFileVersion);
    line("FileDescription", kFileDescription);
    line("InternalName", kInternalName);
    line("OriginalFilename", kOriginalFilename);
    line("ProductName", kProductName);
    line("LegalCopyright", kLegalCopyright);
    return s;
}

template <std::size_t N> constexpr std::array<unsigned char, N> bytesOf(const std::string& s) {
    std::array<unsigned char, N> out{};
    for (std::size_t i = 0; i < N; ++i)
        out[i] = static_cast<unsigned char>(s[i]);
    return out;
}

constexpr std::size_t kVersionSize = versionBlock().size();

// The toolbox picture, 16 x 15: a film frame with a red anchor rectangle and a pointer.
constexpr std::string_view kToolboxPixels[15] = {
    "kkkkkkkkkkkkkkkk", //
    "kwkwkwkwkwkwkwkk", //
    "kkkkkkkkkkkkkkkk", //
    "kbbbbbbbbbbbbbbk", //
    "kbrrrrrrbbbbbbbk", //
    "kbrbbbbrbbbbbbbk", //
    "kbrbbbbrbbbbbbbk", //
    "kbrbbbbrbwbbbbbk", //
    "kbrrrrrrbwwbbbbk", //
    "kbbbbbbbbwwwbbbk", //
    "kbbbbbbbbwwwwbbk", //
    "kbbbbbbbbwwbbbbk", //
    "kkkkkkkkkkkkkkkk", //
    "kwkwkwkwkwkwkwkk", //
    "kkkkkkkkkkkkkkkk", //
};
constexpr int kToolboxWidth = 16;
constexpr int kToolboxHeight = 15;
constexpr std::size_t kRowBytes = ((kToolboxWidth * 3 + 3) / 4) * 4;
constexpr std::size_t kBmpSize = 14 + 40 + kRowBytes * kToolboxHeight;

// A 24-bit bottom-up BMP file of the picture.
constexpr std::array<unsigned char, kBmpSize> toolboxBitmap() {
    std::array<unsigned char, kBmpSize> b{};
    auto put32 = [&b](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    auto put16 = [&b](std::size_t at, std::uint16_t v) {
        b[at] = static_cast<unsigned char>(v);
        b[at + 1] = static_cast<unsigned char>(v >> 8);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, kBmpSize);
    put32(10, 14 + 40);
    put32(14, 40);
    put32(18, kToolboxWidth);
    put32(22, kToolboxHeight);
    put16(26, 1);
    put16(28, 24);
    put32(34, kRowBytes * kToolboxHeight);
    for (int y = 0; y < kToolboxHeight; ++y) {
        const std::size_t row = 54 + kRowBytes * std::size_t(kToolboxHeight - 1 - y);
        for (int x = 0; x < kToolboxWidth; ++x) {
            unsigned char r = 0, g = 0, bl = 0;
            switch (kToolboxPixels[y][x]) {
            case 'w':
                r = g = bl = 255;
                break;
            case 'b':
                r = 0;
                g = 64;
                bl = 160;
                break;
            case 'r':
                r = 255;
                break;
            default:
                break;
            }
            b[row + 3 * x] = bl;
            b[row + 3 * x + 1] = g;
            b[row + 3 * x + 2] = r;
        }
    }
    return b;
}

QXM_MODULE_RESOURCE(g_versionResource, "VERSION", 1, bytesOf<kVersionSize>(versionBlock()));
QXM_MODULE_RESOURCE(g_toolboxResource, "BITMAP", 1, toolboxBitmap());

} // namespace
} // namespace qxm::qxmovie

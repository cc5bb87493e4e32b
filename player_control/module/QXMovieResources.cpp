// The module's resources, readable from the file (ModuleResources.h): the version block and
// the toolbox bitmap 1 that containers show for the control.
#include <array>
#include <string>
#include <string_view>

#include "platform/activation/ModuleResources.h"
#include "player_control/pages/QXMovieVersion.h"

namespace qxm::qxmovie {
namespace {

// The version block's "Name=Value" lines. Built from string views: clang cannot evaluate
// libstdc++'s std::string in a constant expression.
constexpr std::string_view kVersionLines[][2] = {
    {"FileVersion", kFileVersion},         {"ProductVersion", kFileVersion},
    {"FileDescription", kFileDescription}, {"InternalName", kInternalName},
    {"OriginalFilename", kOriginalFilename}, {"ProductName", kProductName},
    {"LegalCopyright", kLegalCopyright},
};

constexpr std::size_t versionSize() {
    std::size_t n = 0;
    for (const auto& l : kVersionLines)
        n += l[0].size() + 1 + l[1].size() + 1;
    return n;
}

constexpr std::size_t kVersionSize = versionSize();

constexpr std::array<unsigned char, kVersionSize> versionBlock() {
    std::array<unsigned char, kVersionSize> out{};
    std::size_t at = 0;
    auto put = [&](std::string_view text) {
        for (char c : text)
            out[at++] = static_cast<unsigned char>(c);
    };
    for (const auto& l : kVersionLines) {
        put(l[0]);
        put("=");
        put(l[1]);
        put("\n");
    }
    return out;
}

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

QXM_MODULE_RESOURCE(g_versionResource, "VERSION", 1, versionBlock());
QXM_MODULE_RESOURCE(g_toolboxResource, "BITMAP", 1, toolboxBitmap());

} // namespace
} // namespace qxm::qxmovie

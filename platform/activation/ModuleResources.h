#pragma once
// Resources of a module: typed, numbered blocks of bytes (a version block, bitmaps) kept in
// the module's "qxm_rsrc" section, so that tools and containers read them from the file
// without loading it.
//
// In the module:
//   QXM_MODULE_RESOURCE(g_version, "VERSION", 1, versionBytes);  // a constexpr std::array
//
// Each block is a ResourceHeader followed by its bytes; blocks follow one another in the
// section, each aligned to 8 bytes.
#include "platform/component/HResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qxm {

inline constexpr char kResourceMagic[8] = {'Q', 'X', 'M', 'R', 'S', 'R', 'C', '\0'};

struct ResourceHeader {
    char magic[8];
    char type[16]; // NUL-padded
    std::int32_t id;
    std::uint32_t size; // bytes following the header
};
static_assert(sizeof(ResourceHeader) == 32);

template <std::size_t N> struct alignas(8) ResourceBlock {
    ResourceHeader header;
    std::array<unsigned char, N> bytes;
};

// A block over bytes, made at compile time.
template <std::size_t N>
constexpr ResourceBlock<N> makeResource(std::string_view type, std::int32_t id,
                                        const std::array<unsigned char, N>& bytes) {
    ResourceBlock<N> block{};
    for (std::size_t i = 0; i < 8; ++i)
        block.header.magic[i] = kResourceMagic[i];
    for (std::size_t i = 0; i < type.size() && i < 15; ++i)
        block.header.type[i] = type[i];
    block.header.id = id;
    block.header.size = static_cast<std::uint32_t>(N);
    block.bytes = bytes;
    return block;
}

#define QXM_MODULE_RESOURCE(name, type, id, bytes)                                                 \
    __attribute__((section("qxm_rsrc"), used)) constexpr auto name =                               \
        ::qxm::makeResource((type), (id), (bytes))

// The version block's text: "Name=Value" lines, as a byte array for QXM_MODULE_RESOURCE.
template <std::size_t N>
constexpr std::array<unsigned char, N - 1> resourceText(const char (&s)[N]) {
    std::array<unsigned char, N - 1> out{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        out[i] = static_cast<unsigned char>(s[i]);
    return out;
}

struct ModuleResource {
    std::string type{};
    std::int32_t id = 0;
    std::string bytes{};
};

// Every resource of the module file at path (an ELF shared object). A module without the
// section has none (S_OK, empty). Failures, with the reason in *message: CO_E_DLLNOTFOUND when
// the file is missing, E_ACCESSDENIED when it cannot be read, E_FAIL when it is no ELF object
// or its section is damaged.
HRESULT readModuleResources(const std::string& path, std::vector<ModuleResource>& out,
                            std::string* message = nullptr);
// One resource; E_INVALIDARG when the module has none of that type and id.
HRESULT findModuleResource(const std::string& path, std::string_view type, std::int32_t id,
                           std::string& bytes, std::string* message = nullptr);

// The version block (type "VERSION", id 1) as name/value pairs in their order.
using VersionInfo = std::vector<std::pair<std::string, std::string>>;
VersionInfo parseVersionBlock(std::string_view text);
HRESULT readModuleVersionInfo(const std::string& path, VersionInfo& out,
                              std::string* message = nullptr);
// The value of a name in a version block; empty when absent.
std::string versionValue(const VersionInfo& info, std::string_view name);

} // namespace qxm

#include "platform/activation/ModuleResources.h"

#include "platform/files/TextFiles.h"

#include <cerrno>
#include <cstring>
#include <elf.h>

namespace qxm {
namespace {

void say(std::string* message, std::string text) {
    if (message) *message = std::move(text);
}

template <class T> bool readAt(const std::string& file, std::uint64_t offset, T& out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, file.data() + offset, sizeof(T));
    return true;
}

// The bytes of the named section of a 64-bit little-endian ELF image; false when the image
// is damaged, *found false when it has no such section.
bool sectionBytes(const std::string& file, std::string_view wanted, std::string_view& out,
                  bool& found) {
    found = false;
    Elf64_Ehdr eh{};
    if (!readAt(file, 0, eh)) return false;
    if (eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum) return false;
    Elf64_Shdr names{};
    if (!readAt(file, eh.e_shoff + std::uint64_t(eh.e_shstrndx) * sizeof(Elf64_Shdr), names))
        return false;
    if (names.sh_offset > file.size() || file.size() - names.sh_offset < names.sh_size)
        return false;
    const std::string_view strtab(file.data() + names.sh_offset, names.sh_size);
    for (std::uint16_t i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh{};
        if (!readAt(file, eh.e_shoff + std::uint64_t(i) * sizeof(Elf64_Shdr), sh)) return false;
        if (sh.sh_name >= strtab.size()) return false;
        const std::string_view name =
            strtab.substr(sh.sh_name).substr(0, strtab.substr(sh.sh_name).find('\0'));
        if (name != wanted) continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_offset > file.size() ||
            file.size() - sh.sh_offset < sh.sh_size)
            return false;
        out = std::string_view(file.data() + sh.sh_offset, sh.sh_size);
        found = true;
        return true;
    }
    return true;
}

} // namespace

HRESULT readModuleResources(const std::string& path, std::vector<ModuleResource>& out,
                            std::string* message) {
    out.clear();
    std::string file;
    if (const int e = readWholeFile(path, file); e != 0) {
        say(message, (e == ENOENT ? "module " + path + " not found"
                                  : "cannot read module " + path + ": " + std::strerror(e)));
        return e == ENOENT ? CO_E_DLLNOTFOUND : E_ACCESSDENIED;
    }
    if (file.size() < EI_NIDENT || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0 ||
        file[EI_CLASS] != ELFCLASS64 || file[EI_DATA] != ELFDATA2LSB) {
        say(message, path + " is not a 64-bit ELF module");
        return E_FAIL;
    }
    std::string_view section;
    bool found = false;
    if (!sectionBytes(file, "qxm_rsrc", section, found)) {
        say(message, path + ": damaged section table");
        return E_FAIL;
    }
    if (!found) return S_OK;
    std::size_t at = 0;
    std::vector<ModuleResource> resources;
    while (at < section.size()) {
        // Blocks are 8-byte aligned; the linker may pad between them with zeros.
        if (section.size() - at < sizeof(ResourceHeader)) break;
        ResourceHeader h{};
        std::memcpy(&h, section.data() + at, sizeof h);
        if (std::memcmp(h.magic, kResourceMagic, sizeof h.magic) != 0) {
            at += 8;
            continue;
        }
        at += sizeof h;
        if (section.size() - at < h.size) {
            say(message, path + ": resource block reaches past its section");
            return E_FAIL;
        }
        ModuleResource r;
        r.type.assign(h.type, strnlen(h.type, sizeof h.type));
        r.id = h.id;
        r.bytes.assign(section.data() + at, h.size);
        resources.push_back(std::move(r));
        at += (std::size_t(h.size) + 7) & ~std::size_t(7);
    }
    out = std::move(resources);
    return S_OK;
}

HRESULT findModuleResource(const std::string& path, std::string_view type, std::int32_t id,
                           std::string& bytes, std::string* message) {
    std::vector<ModuleResource> all;
    HRESULT hr = readModuleResources(path, all, message);
    if (failed(hr)) return hr;
    for (ModuleResource& r : all)
        if (r.type == type && r.id == id) {
            bytes = std::move(r.bytes);
            return S_OK;
        }
    say(message, path + " has no resource " + std::string(type) + " " + std::to_string(id));
    return E_INVALIDARG;
}

VersionInfo parseVersionBlock(std::string_view text) {
    VersionInfo info;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        info.emplace_back(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
    return info;
}

HRESULT readModuleVersionInfo(const std::string& path, VersionInfo& out, std::string* message) {
    std::string bytes;
    HRESULT hr = findModuleResource(path, "VERSION", 1, bytes, message);
    if (failed(hr)) return hr;
    out = parseVersionBlock(bytes);
    return S_OK;
}

std::string versionValue(const VersionInfo& info, std::string_view name) {
    for (const auto& [n, v] : info)
        if (n == name) return v;
    return {};
}

} // namespace qxm

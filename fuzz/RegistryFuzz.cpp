// The registry file on arbitrary text: parsing, the format written back, and every lookup the
// component layer makes on the file (classes, ProgIDs, type libraries, categories).
#include "fuzz/FuzzSupport.h"
#include "platform/registry/Registry.h"

using namespace qxm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RegistryData parsed;
    std::string error;
    if (failed(RegistryData::parse(fuzz::asText(data, size), parsed, &error))) {
        QXM_FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string text = parsed.format();
    RegistryData again;
    QXM_FUZZ_CHECK(succeeded(RegistryData::parse(text, again, &error)));
    QXM_FUZZ_CHECK(again.format() == text);

    const Registry registry(fuzz::writeScratchFile("registry", data, size));
    // Each lookup reads the file again: the first few sections are enough.
    std::size_t lookups = 0;
    for (const RegistrySection& section : parsed.sections) {
        if (++lookups > 8) break;
        if (section.kind == "progid") {
            Guid clsid;
            registry.clsidFromProgId(section.key, clsid, &error);
            continue;
        }
        const std::size_t blank = section.key.find(' ');
        const auto guid = Guid::parse(std::string_view(section.key).substr(0, blank));
        if (!guid) continue;
        if (section.kind == "class") {
            ClassEntry entry;
            registry.findClass(*guid, entry, &error);
        } else if (section.kind == "category") {
            CategoryEntry entry;
            registry.findCategory(*guid, entry, &error);
        } else if (section.kind == "implements") {
            std::vector<Guid> catids;
            registry.implementedCategories(*guid, catids, &error);
        } else if (section.kind == "typelib" && blank != std::string::npos) {
            const std::string version = section.key.substr(blank + 1);
            unsigned major = 0, minor = 0;
            if (std::sscanf(version.c_str(), "%u.%u", &major, &minor) == 2) {
                TypeLibEntry entry;
                registry.findTypeLib(*guid, uint16_t(major), uint16_t(minor), entry, &error);
            }
        }
    }
    return 0;
}

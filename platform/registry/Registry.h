#pragma once
// The component registry: one text file, by default ${XDG_DATA_HOME:-~/.local/share}/qxm/registry,
// or the file named by the environment variable QXM_REGISTRY.
//
// Format (UTF-8 / code-page text, one entry a line):
//
//   # comment lines start with '#' or ';', blank lines are ignored
//   [class {CLSID}]                  a class: its module and entries
//   name = "QX-MOVIE ActiveX Control"
//   module = "/path/to/libqxmovie.so"
//   progid = "QXMOVIE.QXMovieCtrl.2"
//   version-independent-progid = "QXMOVIE.QXMovieCtrl"
//   threading = "Apartment"
//   control = "yes"
//   insertable = "no"
//   toolbox-bitmap = "1"
//   misc-status = "0x00020191"
//   typelib = "{LIBID}"
//   typelib-version = "2.0"
//
//   [progid QXMOVIE.QXMovieCtrl.2]   ProgID -> class
//   clsid = "{CLSID}"
//   name = "..."
//   [progid QXMOVIE.QXMovieCtrl]     version-independent ProgID: its current version
//   clsid = "{CLSID}"
//   curver = "QXMOVIE.QXMovieCtrl.2"
//
//   [typelib {LIBID} 2.0]            a registered type library (version major.minor)
//   name = "QX-MOVIE ActiveX"
//   module = "/path/to/libqxmovie.so"
//   help-dir = ""
//   lcid = "0"
//   flags = "control"
//
//   [category {CATID}]               a component category, one description a locale
//   description.1033 = "Controls that are safely scriptable"
//
//   [implements {CLSID}]             the categories a class implements (kept apart from the
//   categories = "{CATID} {CATID}"   class, so they stay when the class is unregistered)
//
// Section headers are a kind and a key; keys within a section are unique. Values are written
// in double quotes with \" \\ \n \r \t escapes; unquoted values are read with surrounding
// blanks dropped. Keys this code does not know are kept as they are when the file is rewritten.
//
// Every change is a read-modify-write under an exclusive flock on "<file>.lock", written to a
// temporary file in the same folder, flushed with fsync and renamed over the file: readers see
// the old or the new file, never a part, and two programs registering at once lose nothing.
// A file that cannot be parsed is never overwritten (REGDB_E_READREGDB).
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qxm {

struct RegistrySection {
    std::string kind{}; // "class", "progid", ...
    std::string key{};  // "{CLSID}", "QXMOVIE.QXMovieCtrl.2", "{LIBID} 2.0"
    std::vector<std::pair<std::string, std::string>> values{};

    const std::string* get(std::string_view name) const;
    std::string value(std::string_view name, std::string fallback = {}) const;
    void set(std::string_view name, std::string value);
    void erase(std::string_view name);
};

// The parsed file: sections in file order.
struct RegistryData {
    std::vector<RegistrySection> sections{};

    RegistrySection* find(std::string_view kind, std::string_view key);
    const RegistrySection* find(std::string_view kind, std::string_view key) const;
    RegistrySection& findOrAdd(std::string_view kind, std::string_view key);
    bool remove(std::string_view kind, std::string_view key);

    // Parse failures give REGDB_E_READREGDB and "line N: ..." in *error.
    static HRESULT parse(std::string_view text, RegistryData& out, std::string* error = nullptr);
    std::string format() const;
};

struct ClassEntry {
    Guid clsid{};
    std::string name{};       // the registered type name
    std::string modulePath{}; // the shared library serving the class
    std::string progId{};
    std::string versionIndependentProgId{};
    std::string threadingModel = "Apartment";
    bool control = false;
    bool insertable = false;
    std::optional<std::int32_t> toolboxBitmap{}; // resource id in the module
    std::optional<std::uint32_t> miscStatus{};
    std::optional<Guid> typeLib{};
    std::string typeLibVersion{}; // "2.0"
};

struct TypeLibEntry {
    Guid libid{};
    std::uint16_t majorVersion = 1;
    std::uint16_t minorVersion = 0;
    std::string name{}; // the library's help string
    std::string modulePath{};
    std::string helpDir{};
    std::uint32_t lcid = 0;
    bool control = false;
};

struct CategoryEntry {
    Guid catid{};
    std::vector<std::pair<std::uint32_t, std::string>> descriptions{}; // locale id -> text
    const std::string* description(std::uint32_t lcid) const;
};

class Registry {
public:
    // QXM_REGISTRY, else ${XDG_DATA_HOME:-$HOME/.local/share}/qxm/registry, read now.
    static std::string defaultPath();

    explicit Registry(std::string path = defaultPath());
    const std::string& path() const { return path_; }

    // A missing file reads as an empty registry.
    HRESULT read(RegistryData& out, std::string* error = nullptr) const;
    // Locks, reads, lets change edit the data, and writes the result back atomically when
    // change succeeds (its failure code is returned and nothing is written).
    HRESULT modify(const std::function<HRESULT(RegistryData&)>& change,
                   std::string* error = nullptr);

    // Writes the class, its ProgID and its version-independent ProgID (CurVer = progId).
    // An empty versionIndependentProgId is derived from progId by dropping a trailing ".N"
    // ("QXMOVIE.QXMovieCtrl.2" -> "QXMOVIE.QXMovieCtrl"); a ProgID without one has none.
    HRESULT registerClass(const ClassEntry& entry, std::string* error = nullptr);
    // Removes the class and the ProgIDs that lead to it; category marks stay.
    // S_FALSE when the class was not registered (nothing changes).
    HRESULT unregisterClass(const Guid& clsid, std::string* error = nullptr);
    // REGDB_E_CLASSNOTREG when absent, REGDB_E_INVALIDVALUE for an unreadable value.
    HRESULT findClass(const Guid& clsid, ClassEntry& out, std::string* error = nullptr) const;
    // Follows a version-independent ProgID's CurVer; CO_E_CLASSSTRING when unknown.
    // ProgIDs compare without regard to case.
    HRESULT clsidFromProgId(std::string_view progId, Guid& out, std::string* error = nullptr) const;

    HRESULT registerTypeLib(const TypeLibEntry& entry, std::string* error = nullptr);
    // S_FALSE when it was not registered.
    HRESULT unregisterTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                              std::string* error = nullptr);
    // TYPE_E_LIBNOTREGISTERED when absent.
    HRESULT findTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                        TypeLibEntry& out, std::string* error = nullptr) const;

    // Adds or replaces the descriptions given (other locales of a category stay).
    HRESULT registerCategory(const CategoryEntry& entry, std::string* error = nullptr);
    HRESULT unregisterCategory(const Guid& catid, std::string* error = nullptr);
    // REGDB_E_KEYMISSING when absent.
    HRESULT findCategory(const Guid& catid, CategoryEntry& out, std::string* error = nullptr) const;
    HRESULT markImplemented(const Guid& clsid, const std::vector<Guid>& catids,
                            std::string* error = nullptr);
    HRESULT unmarkImplemented(const Guid& clsid, const std::vector<Guid>& catids,
                              std::string* error = nullptr);
    HRESULT implementedCategories(const Guid& clsid, std::vector<Guid>& out,
                                  std::string* error = nullptr) const;

private:
    std::string path_;
};

} // namespace qxm

#include "platform/registry/Registry.h"

#include "platform/component/Variant.h"
#include "platform/files/FileLock.h"
#include "platform/files/TextFiles.h"
#include "platform/text/QuotedText.h"
#include "platform/text/Trim.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qxm {
namespace {

// Blanks around a line's parts; a carriage return may end a line written elsewhere.
std::string_view trimPart(std::string_view s) {
    return trimRight(trimLeft(s), " \t\r");
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// Creates the folders leading to path (like mkdir -p of its parent).
bool makeParents(const std::string& path) {
    for (std::size_t pos = path.find('/', 1); pos != std::string::npos;
         pos = path.find('/', pos + 1)) {
        std::string dir = path.substr(0, pos);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

HRESULT writeAtomically(const std::string& path, const std::string& text, std::string* error) {
    std::string what;
    if (const int e = replaceFileAtomically(path, text, &what); e != 0) {
        setError(error, what + ": " + std::strerror(e));
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

std::string versionKey(const Guid& id, std::uint16_t major, std::uint16_t minor) {
    return id.toString() + " " + std::to_string(major) + "." + std::to_string(minor);
}

// "QXMOVIE.QXMovieCtrl.2" -> "QXMOVIE.QXMovieCtrl"; "" when there is no trailing ".N".
std::string withoutVersion(const std::string& progId) {
    std::size_t dot = progId.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == progId.size()) return {};
    for (std::size_t i = dot + 1; i < progId.size(); ++i)
        if (progId[i] < '0' || progId[i] > '9') return {};
    return progId.substr(0, dot);
}

bool parseUnsigned(const std::string& text, std::uint64_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno || *end || text[0] == '-') return false;
    out = v;
    return true;
}

std::vector<Guid> parseGuidList(const std::string& text) {
    std::vector<Guid> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        if (auto g = Guid::parse(word)) out.push_back(*g);
    return out;
}

std::string formatGuidList(const std::vector<Guid>& ids) {
    std::string out;
    for (const auto& g : ids)
        out += (out.empty() ? "" : " ") + g.toString();
    return out;
}

const char* const kClassKeys[] = {
    "name",        "module",  "progid",         "version-independent-progid",
    "threading",   "control", "insertable",     "toolbox-bitmap",
    "misc-status", "typelib", "typelib-version"};

// Reads the registry and finds one section; missing is `missing` with "<what> is not registered".
HRESULT findSection(const Registry& reg, RegistryData& data, std::string_view kind,
                    const std::string& key, HRESULT missing, const std::string& what,
                    std::string* error, const RegistrySection*& out) {
    HRESULT hr = reg.read(data, error);
    if (failed(hr)) return hr;
    out = data.find(kind, key);
    if (out) return S_OK;
    setError(error, what + " is not registered");
    return missing;
}

} // namespace

const std::string* RegistrySection::get(std::string_view name) const {
    for (const auto& [k, v] : values)
        if (equalsNoCase(k, name)) return &v;
    return nullptr;
}

std::string RegistrySection::value(std::string_view name, std::string fallback) const {
    const std::string* v = get(name);
    return v ? *v : fallback;
}

void RegistrySection::set(std::string_view name, std::string value) {
    for (auto& [k, v] : values)
        if (equalsNoCase(k, name)) {
            v = std::move(value);
            return;
        }
    values.emplace_back(std::string(name), std::move(value));
}

void RegistrySection::erase(std::string_view name) {
    std::erase_if(values, [&](const auto& kv) { return equalsNoCase(kv.first, name); });
}

RegistrySection* RegistryData::find(std::string_view kind, std::string_view key) {
    for (auto& s : sections)
        if (equalsNoCase(s.kind, kind) && equalsNoCase(s.key, key)) return &s;
    return nullptr;
}

const RegistrySection* RegistryData::find(std::string_view kind, std::string_view key) const {
    return const_cast<RegistryData*>(this)->find(kind, key);
}

RegistrySection& RegistryData::findOrAdd(std::string_view kind, std::string_view key) {
    if (RegistrySection* s = find(kind, key)) return *s;
    sections.push_back(RegistrySection{std::string(kind), std::string(key), {}});
    return sections.back();
}

bool RegistryData::remove(std::string_view kind, std::string_view key) {
    return std::erase_if(sections, [&](const RegistrySection& s) {
               return equalsNoCase(s.kind, kind) && equalsNoCase(s.key, key);
           }) > 0;
}

HRESULT RegistryData::parse(std::string_view text, RegistryData& out, std::string* error) {
    RegistryData data;
    RegistrySection* current = nullptr;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = trimPart(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        auto fail = [&](const char* what) {
            setError(error, "line " + std::to_string(lineNo) + ": " + what);
            return REGDB_E_READREGDB;
        };
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("section header without ']'");
            std::string_view inner = trimPart(line.substr(1, line.size() - 2));
            std::size_t blank = inner.find_first_of(" \t");
            std::string_view kind = inner.substr(0, blank);
            std::string_view key = blank == std::string_view::npos ? std::string_view()
                                                                   : trimPart(inner.substr(blank));
            if (kind.empty() || key.empty()) return fail("section header needs a kind and a key");
            current = &data.findOrAdd(kind, key);
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return fail("expected name = value");
        if (!current) return fail("value outside a section");
        std::string_view name = trimPart(line.substr(0, eq));
        std::string_view raw = trimPart(line.substr(eq + 1));
        if (name.empty()) return fail("value without a name");
        std::string value;
        if (!raw.empty() && raw.front() == '"') {
            std::size_t end = 0;
            if (!readQuoted(raw, end, value, nullptr) || !trimPart(raw.substr(end)).empty())
                return fail("malformed quoted value");
        } else {
            value = std::string(raw);
        }
        current->set(name, std::move(value));
    }
    out = std::move(data);
    return S_OK;
}

std::string RegistryData::format() const {
    std::string out = "# Movie Marquill component registry\n";
    for (const auto& s : sections) {
        out += "\n[" + s.kind + " " + s.key + "]\n";
        for (const auto& [k, v] : s.values)
            out += k + " = " + quoteText(v) + "\n";
    }
    return out;
}

const std::string* CategoryEntry::description(std::uint32_t lcid) const {
    for (const auto& [id, text] : descriptions)
        if (id == lcid) return &text;
    return nullptr;
}

std::string Registry::defaultPath() {
    if (const char* p = std::getenv("QXM_REGISTRY"); p && *p) return p;
    std::string base;
    if (const char* d = std::getenv("XDG_DATA_HOME"); d && *d)
        base = d;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.local/share";
    else
        base = ".";
    return base + "/qxm/registry";
}

Registry::Registry(std::string path) : path_(std::move(path)) {}

HRESULT Registry::read(RegistryData& out, std::string* error) const {
    std::string text;
    if (const int e = readWholeFile(path_, text); e != 0) {
        if (e == ENOENT) {
            out = RegistryData();
            return S_OK;
        }
        setError(error, "cannot read " + path_ + ": " + std::strerror(e));
        return REGDB_E_READREGDB;
    }
    std::string detail;
    HRESULT hr = RegistryData::parse(text, out, &detail);
    if (failed(hr)) setError(error, path_ + ": " + detail);
    return hr;
}

HRESULT Registry::modify(const std::function<HRESULT(RegistryData&)>& change, std::string* error) {
    if (!makeParents(path_)) {
        setError(error, "cannot create the folder of " + path_ + ": " + std::strerror(errno));
        return REGDB_E_WRITEREGDB;
    }
    FileLock lock(path_ + ".lock");
    if (!lock.held()) {
        setError(error, "cannot lock " + path_ + ".lock: " + std::strerror(lock.error()));
        return REGDB_E_WRITEREGDB;
    }
    RegistryData data;
    HRESULT hr = read(data, error);
    if (failed(hr)) return hr;
    hr = change(data);
    if (failed(hr)) return hr;
    HRESULT written = writeAtomically(path_, data.format(), error);
    return failed(written) ? written : hr;
}

HRESULT Registry::registerClass(const ClassEntry& e, std::string* error) {
    return modify(
        [&](RegistryData& data) {
            RegistrySection& s = data.findOrAdd("class", e.clsid.toString());
            for (const char* k : kClassKeys)
                s.erase(k);
            std::string vi = e.versionIndependentProgId.empty() ? withoutVersion(e.progId)
                                                                : e.versionIndependentProgId;
            s.set("name", e.name);
            s.set("module", e.modulePath);
            if (!e.progId.empty()) s.set("progid", e.progId);
            if (!vi.empty()) s.set("version-independent-progid", vi);
            if (!e.threadingModel.empty()) s.set("threading", e.threadingModel);
            s.set("control", e.control ? "yes" : "no");
            s.set("insertable", e.insertable ? "yes" : "no");
            if (e.toolboxBitmap) s.set("toolbox-bitmap", std::to_string(*e.toolboxBitmap));
            if (e.miscStatus) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "0x%08X", *e.miscStatus);
                s.set("misc-status", buf);
            }
            if (e.typeLib) s.set("typelib", e.typeLib->toString());
            if (!e.typeLibVersion.empty()) s.set("typelib-version", e.typeLibVersion);
            if (!e.progId.empty()) {
                RegistrySection& p = data.findOrAdd("progid", e.progId);
                p.set("clsid", e.clsid.toString());
                p.set("name", e.name);
                p.erase("curver");
            }
            if (!vi.empty()) {
                RegistrySection& p = data.findOrAdd("progid", vi);
                p.set("clsid", e.clsid.toString());
                p.set("name", e.name);
                p.set("curver", e.progId);
            }
            return S_OK;
        },
        error);
}

HRESULT Registry::unregisterClass(const Guid& clsid, std::string* error) {
    return modify(
        [&](RegistryData& data) {
            const std::string id = clsid.toString();
            bool removed = data.remove("class", id);
            removed |=
                std::erase_if(data.sections, [&](const RegistrySection& s) {
                    return equalsNoCase(s.kind, "progid") && equalsNoCase(s.value("clsid"), id);
                }) > 0;
            return removed ? S_OK : S_FALSE;
        },
        error);
}

HRESULT Registry::findClass(const Guid& clsid, ClassEntry& out, std::string* error) const {
    RegistryData data;
    const RegistrySection* s = nullptr;
    HRESULT hr = findSection(*this, data, "class", clsid.toString(), REGDB_E_CLASSNOTREG,
                             "class " + clsid.toString(), error, s);
    if (failed(hr)) return hr;
    auto bad = [&](const char* key) {
        setError(error, "class " + clsid.toString() + ": unreadable " + key + " in " + path_);
        return REGDB_E_INVALIDVALUE;
    };
    ClassEntry e;
    e.clsid = clsid;
    e.name = s->value("name");
    e.modulePath = s->value("module");
    e.progId = s->value("progid");
    e.versionIndependentProgId = s->value("version-independent-progid");
    e.threadingModel = s->value("threading");
    e.control = equalsNoCase(s->value("control"), "yes");
    e.insertable = equalsNoCase(s->value("insertable"), "yes");
    std::uint64_t n = 0;
    if (const std::string* v = s->get("toolbox-bitmap")) {
        if (!parseUnsigned(*v, n) || n > 0x7FFFFFFF) return bad("toolbox-bitmap");
        e.toolboxBitmap = std::int32_t(n);
    }
    if (const std::string* v = s->get("misc-status")) {
        if (!parseUnsigned(*v, n) || n > 0xFFFFFFFF) return bad("misc-status");
        e.miscStatus = std::uint32_t(n);
    }
    if (const std::string* v = s->get("typelib")) {
        e.typeLib = Guid::parse(*v);
        if (!e.typeLib) return bad("typelib");
    }
    e.typeLibVersion = s->value("typelib-version");
    out = std::move(e);
    return S_OK;
}

HRESULT Registry::clsidFromProgId(std::string_view progId, Guid& out, std::string* error) const {
    if (auto g = Guid::parse(progId)) {
        out = *g;
        return S_OK;
    }
    RegistryData data;
    HRESULT hr = read(data, error);
    if (failed(hr)) return hr;
    std::string name(progId);
    for (int hops = 0; hops < 8; ++hops) {
        const RegistrySection* s = data.find("progid", name);
        if (!s) break;
        std::string curver = s->value("curver");
        if (!curver.empty() && !equalsNoCase(curver, name) && data.find("progid", curver)) {
            name = curver;
            continue;
        }
        if (auto g = Guid::parse(s->value("clsid"))) {
            out = *g;
            return S_OK;
        }
        break;
    }
    setError(error, "ProgID " + std::string(progId) + " is not registered");
    return CO_E_CLASSSTRING;
}

HRESULT Registry::registerTypeLib(const TypeLibEntry& e, std::string* error) {
    return modify(
        [&](RegistryData& data) {
            RegistrySection& s =
                data.findOrAdd("typelib", versionKey(e.libid, e.majorVersion, e.minorVersion));
            s.set("name", e.name);
            s.set("module", e.modulePath);
            s.set("help-dir", e.helpDir);
            s.set("lcid", std::to_string(e.lcid));
            s.set("flags", e.control ? "control" : "");
            return S_OK;
        },
        error);
}

HRESULT Registry::unregisterTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                                    std::string* error) {
    return modify(
        [&](RegistryData& data) {
            return data.remove("typelib", versionKey(libid, major, minor)) ? S_OK : S_FALSE;
        },
        error);
}

HRESULT Registry::findTypeLib(const Guid& libid, std::uint16_t major, std::uint16_t minor,
                              TypeLibEntry& out, std::string* error) const {
    RegistryData data;
    const RegistrySection* s = nullptr;
    const std::string key = versionKey(libid, major, minor);
    HRESULT hr = findSection(*this, data, "typelib", key, TYPE_E_LIBNOTREGISTERED,
                             "type library " + key, error, s);
    if (failed(hr)) return hr;
    TypeLibEntry e;
    e.libid = libid;
    e.majorVersion = major;
    e.minorVersion = minor;
    e.name = s->value("name");
    e.modulePath = s->value("module");
    e.helpDir = s->value("help-dir");
    std::uint64_t n = 0;
    e.lcid = parseUnsigned(s->value("lcid"), n) ? std::uint32_t(n) : 0;
    e.control = s->value("flags").find("control") != std::string::npos;
    out = std::move(e);
    return S_OK;
}

HRESULT Registry::registerCategory(const CategoryEntry& e, std::string* error) {
    return modify(
        [&](RegistryData& data) {
            RegistrySection& s = data.findOrAdd("category", e.catid.toString());
            for (const auto& [lcid, text] : e.descriptions)
                s.set("description." + std::to_string(lcid), text);
            return S_OK;
        },
        error);
}

HRESULT Registry::unregisterCategory(const Guid& catid, std::string* error) {
    return modify(
        [&](RegistryData& data) {
            return data.remove("category", catid.toString()) ? S_OK : S_FALSE;
        },
        error);
}

HRESULT Registry::findCategory(const Guid& catid, CategoryEntry& out, std::string* error) const {
    RegistryData data;
    const RegistrySection* s = nullptr;
    HRESULT hr = findSection(*this, data, "category", catid.toString(), REGDB_E_KEYMISSING,
                             "category " + catid.toString(), error, s);
    if (failed(hr)) return hr;
    CategoryEntry e;
    e.catid = catid;
    for (const auto& [k, v] : s->values) {
        std::uint64_t lcid = 0;
        if (k.rfind("description.", 0) == 0 && parseUnsigned(k.substr(12), lcid))
            e.descriptions.emplace_back(std::uint32_t(lcid), v);
    }
    out = std::move(e);
    return S_OK;
}

HRESULT Registry::markImplemented(const Guid& clsid, const std::vector<Guid>& catids,
                                  std::string* error) {
    return modify(
        [&](RegistryData& data) {
            RegistrySection& s = data.findOrAdd("implements", clsid.toString());
            std::vector<Guid> have = parseGuidList(s.value("categories"));
            for (const auto& c : catids)
                if (std::find(have.begin(), have.end(), c) == have.end()) have.push_back(c);
            s.set("categories", formatGuidList(have));
            return S_OK;
        },
        error);
}

HRESULT Registry::unmarkImplemented(const Guid& clsid, const std::vector<Guid>& catids,
                                    std::string* error) {
    return modify(
        [&](RegistryData& data) {
            RegistrySection* s = data.find("implements", clsid.toString());
            if (!s) return S_FALSE;
            std::vector<Guid> have = parseGuidList(s->value("categories"));
            std::erase_if(have, [&](const Guid& g) {
                return std::find(catids.begin(), catids.end(), g) != catids.end();
            });
            if (have.empty())
                data.remove("implements", clsid.toString());
            else
                s->set("categories", formatGuidList(have));
            return S_OK;
        },
        error);
}

HRESULT Registry::implementedCategories(const Guid& clsid, std::vector<Guid>& out,
                                        std::string* error) const {
    RegistryData data;
    HRESULT hr = read(data, error);
    if (failed(hr)) return hr;
    const RegistrySection* s = data.find("implements", clsid.toString());
    out = s ? parseGuidList(s->value("categories")) : std::vector<Guid>{};
    return S_OK;
}

} // namespace qxm

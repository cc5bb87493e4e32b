#include "platform/component/TypeLib.h"

#include <set>
#include <sstream>

namespace qxm {

std::string TypeRef::idlName() const {
    if (!name.empty()) return name;
    switch (vt) {
    case VarType::Empty:
        return "VARIANT";
    case VarType::Bool:
        return "boolean";
    case VarType::I2:
        return "short";
    case VarType::I4:
        return "long";
    case VarType::R8:
        return "double";
    case VarType::BStr:
        return "BSTR";
    case VarType::Void:
        return "void";
    }
    return "void";
}

const MemberInfo* InterfaceInfo::find(DispId id) const {
    for (const auto& m : members)
        if (m.id == id) return &m;
    return nullptr;
}

const MemberInfo* InterfaceInfo::find(std::string_view n) const {
    for (const auto& m : members)
        if (equalsNoCase(m.name, n)) return &m;
    return nullptr;
}

const EnumValue* EnumInfo::find(std::int32_t value) const {
    for (const auto& v : values)
        if (v.value == value) return &v;
    return nullptr;
}

const InterfaceInfo* TypeLibrary::findInterface(std::string_view n) const {
    for (const auto& i : interfaces)
        if (equalsNoCase(i.name, n)) return &i;
    return nullptr;
}

const InterfaceInfo* TypeLibrary::findInterface(const Guid& id) const {
    for (const auto& i : interfaces)
        if (i.iid == id) return &i;
    return nullptr;
}

const CoClassInfo* TypeLibrary::findCoClass(std::string_view n) const {
    for (const auto& c : coclasses)
        if (equalsNoCase(c.name, n)) return &c;
    return nullptr;
}

const CoClassInfo* TypeLibrary::findCoClass(const Guid& id) const {
    for (const auto& c : coclasses)
        if (c.clsid == id) return &c;
    return nullptr;
}

const EnumInfo* TypeLibrary::findEnum(std::string_view n) const {
    for (const auto& e : enums)
        if (equalsNoCase(e.name, n)) return &e;
    return nullptr;
}

const InterfaceInfo* TypeLibrary::defaultInterface(const CoClassInfo& c, bool source) const {
    for (const auto& r : c.interfaces)
        if (r.isDefault && r.isSource == source) return findInterface(r.interfaceName);
    return nullptr;
}

std::string TypeLibrary::versionText() const {
    return std::to_string(majorVersion) + "." + std::to_string(minorVersion);
}

HRESULT TypeLibrary::validate(std::string* problem) const {
    auto fail = [&](std::string text) {
        if (problem) *problem = std::move(text);
        return E_INVALIDARG;
    };
    auto typeKnown = [&](const TypeRef& t) {
        if (t.name.empty()) return true;
        for (const auto& a : aliases)
            if (a.name == t.name) return true;
        return findEnum(t.name) != nullptr;
    };
    for (const auto& itf : interfaces) {
        std::set<DispId> ids;
        for (const auto& m : itf.members) {
            if (!ids.insert(m.id).second)
                return fail(itf.name + ": id " + std::to_string(m.id) + " used twice");
            if (itf.find(m.name) != &m) return fail(itf.name + ": name " + m.name + " used twice");
            if (!typeKnown(m.type))
                return fail(itf.name + "." + m.name + ": unknown type " + m.type.name);
            for (const auto& p : m.params)
                if (!typeKnown(p.type))
                    return fail(itf.name + "." + m.name + ": unknown type " + p.type.name);
        }
    }
    for (const auto& c : coclasses) {
        int defaults = 0, sources = 0;
        for (const auto& r : c.interfaces) {
            if (!findInterface(r.interfaceName))
                return fail(c.name + ": unknown interface " + r.interfaceName);
            if (r.isDefault) ++(r.isSource ? sources : defaults);
        }
        if (defaults > 1 || sources > 1) return fail(c.name + ": more than one default");
    }
    return S_OK;
}

namespace {

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string memberFlagsText(std::uint32_t f) {
    std::string out;
    static const std::pair<std::uint32_t, const char*> names[] = {
        {MEMBER_HIDDEN, "hidden"},           {MEMBER_READONLY, "readonly"},
        {MEMBER_BINDABLE, "bindable"},       {MEMBER_REQUESTEDIT, "requestedit"},
        {MEMBER_DISPLAYBIND, "displaybind"}, {MEMBER_DEFAULTBIND, "defaultbind"},
        {MEMBER_RESTRICTED, "restricted"}};
    for (auto& [bit, name] : names)
        if (f & bit) out += std::string(", ") + name;
    return out;
}

std::string typeFlagsText(std::uint32_t f) {
    std::string out;
    static const std::pair<std::uint32_t, const char*> names[] = {
        {TYPE_HIDDEN, "hidden"},     {TYPE_DISPATCHABLE, "dispatchable"},
        {TYPE_CONTROL, "control"},   {TYPE_CREATABLE, "creatable"},
        {TYPE_LICENSED, "licensed"}, {TYPE_APPOBJECT, "appobject"}};
    for (auto& [bit, name] : names)
        if (f & bit) out += std::string(", ") + name;
    return out;
}

std::string helpText(const std::string& help) {
    return help.empty() ? std::string() : ", helpstring(" + quoted(help) + ")";
}

void formatMember(std::ostringstream& o, const MemberInfo& m, bool asMethod) {
    o << "        [id(" << m.id << ")";
    if (asMethod && m.kind == MemberKind::Property) o << ", propget";
    o << memberFlagsText(m.flags) << helpText(m.helpString);
    if (m.helpContext) o << ", helpcontext(" << m.helpContext << ")";
    o << "] " << m.type.idlName() << " " << m.name;
    if (asMethod) {
        o << "(";
        for (std::size_t i = 0; i < m.params.size(); ++i) {
            const auto& p = m.params[i];
            if (i) o << ", ";
            if (p.optional) o << "[optional] ";
            o << p.type.idlName() << " " << p.name;
        }
        o << ")";
    }
    o << ";\n";
}

} // namespace

std::string TypeLibrary::format() const {
    std::ostringstream o;
    o << "[ uuid(" << libid.toString().substr(1, 36) << "), version(" << versionText() << ")"
      << helpText(helpString);
    if (!helpFile.empty()) o << ", helpfile(" << quoted(helpFile) << ")";
    if (lcid) o << ", lcid(" << lcid << ")";
    o << typeFlagsText(flags) << " ]\n";
    o << "library " << name << "\n{\n";
    for (const auto& i : imports)
        o << "    importlib(" << quoted(i) << ");\n";
    for (const auto& a : aliases)
        o << "    typedef [public" << helpText(a.helpString) << "] " << a.target.idlName() << " "
          << a.name << ";\n";
    for (const auto& e : enums) {
        o << "    typedef [public" << helpText(e.helpString) << "] enum {\n";
        for (const auto& v : e.values)
            o << "        [helpstring(" << quoted(v.helpString) << ")] " << v.name << " = "
              << v.value << ",\n";
        o << "    } " << e.name << ";\n";
    }
    for (const auto& itf : interfaces) {
        o << "\n    [ uuid(" << itf.iid.toString().substr(1, 36) << ")" << helpText(itf.helpString)
          << typeFlagsText(itf.flags) << " ]\n";
        o << "    " << (itf.kind == InterfaceKind::DispInterface ? "dispinterface " : "interface ")
          << itf.name << "\n    {\n";
        o << "    properties:\n";
        for (const auto& m : itf.members)
            if (m.kind == MemberKind::Property && m.params.empty()) formatMember(o, m, false);
        o << "    methods:\n";
        for (const auto& m : itf.members)
            if (m.kind == MemberKind::Method || !m.params.empty()) formatMember(o, m, true);
        o << "    };\n";
    }
    for (const auto& c : coclasses) {
        o << "\n    [ uuid(" << c.clsid.toString().substr(1, 36) << ")" << helpText(c.helpString)
          << typeFlagsText(c.flags) << " ]\n";
        o << "    coclass " << c.name << "\n    {\n";
        for (const auto& r : c.interfaces) {
            o << "        ";
            if (r.isDefault || r.isSource) {
                o << "[";
                if (r.isDefault) o << "default";
                if (r.isDefault && r.isSource) o << ", ";
                if (r.isSource) o << "source";
                o << "] ";
            }
            const InterfaceInfo* itf = findInterface(r.interfaceName);
            bool disp = !itf || itf->kind == InterfaceKind::DispInterface;
            o << (disp ? "dispinterface " : "interface ") << r.interfaceName << ";\n";
        }
        o << "    };\n";
    }
    o << "};\n";
    return o.str();
}

} // namespace qxm

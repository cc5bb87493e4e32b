#include "player_control/control/QXMovieTypeLib.h"

#include <stdexcept>

#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieProperties.h"
#include "player_control/definitions/QXMovieStrings.h"

namespace qxm::qxmovie {
namespace {

namespace s = strings;

const TypeRef kBool{VarType::Bool};
const TypeRef kLong{VarType::I4};
const TypeRef kShort{VarType::I2};
const TypeRef kBStr{VarType::BStr};
const TypeRef kVoid{VarType::Void};
const TypeRef kXPos{VarType::I4, "OLE_XPOS_PIXELS"};
const TypeRef kYPos{VarType::I4, "OLE_YPOS_PIXELS"};

MemberInfo property(DispId id, std::string_view name, TypeRef type, std::uint32_t flags = 0) {
    MemberInfo m;
    m.id = id;
    m.name = std::string(name);
    m.kind = MemberKind::Property;
    m.type = std::move(type);
    m.flags = flags;
    return m;
}

MemberInfo method(DispId id, const char* name, TypeRef result, std::vector<ParamInfo> params = {}) {
    MemberInfo m;
    m.id = id;
    m.name = name;
    m.kind = MemberKind::Method;
    m.type = std::move(result);
    m.params = std::move(params);
    return m;
}

InterfaceInfo buildDispatch() {
    InterfaceInfo i;
    i.name = "_DQXMovie";
    i.iid = kIidDQXMovie;
    i.kind = InterfaceKind::DispInterface;
    i.flags = TYPE_HIDDEN | TYPE_DISPATCHABLE;
    i.helpString = s::kDispatchHelpString;
    for (const PropertyDescriptor& p : kControlProperties)
        i.members.push_back(property(p.id, p.name, TypeRef{p.type}, p.flags));
    i.members.push_back(method(DISPID_Play, "Play", kVoid, {{"FrameNo", kLong}}));
    i.members.push_back(method(DISPID_Stop, "Stop", kVoid));
    i.members.push_back(method(DISPID_Pause, "Pause", kVoid));
    i.members.push_back(method(DISPID_EnableAnchor, "EnableAnchor", kBool, {{"AnchorID", kBStr}}));
    MemberInfo anchorId = property(DISPID_AnchorID, "AnchorID", kBStr, MEMBER_READONLY);
    anchorId.params = {{"nIndex", kLong}};
    MemberInfo anchorName = property(DISPID_AnchorName, "AnchorName", kBStr, MEMBER_READONLY);
    anchorName.params = {{"nIndex", kLong}};
    i.members.push_back(std::move(anchorId));
    i.members.push_back(std::move(anchorName));
    i.members.push_back(method(DISPID_ABOUTBOX, "AboutBox", kVoid));
    return i;
}

std::vector<ParamInfo> mouseParams() {
    return {{"Button", kShort}, {"Shift", kShort}, {"x", kXPos}, {"y", kYPos}};
}

InterfaceInfo buildEvents() {
    InterfaceInfo i;
    i.name = "_DQXMovieEvents";
    i.iid = kIidDQXMovieEvents;
    i.kind = InterfaceKind::DispInterface;
    i.flags = TYPE_DISPATCHABLE;
    i.helpString = s::kEventsHelpString;
    i.members = {
        method(EVENTID_OnMovieStart, "OnMovieStart", kVoid),
        method(EVENTID_OnMovieStop, "OnMovieStop", kVoid),
        method(EVENTID_OnMovieFinish, "OnMovieFinish", kVoid),
        method(EVENTID_OnError, "OnError", kVoid, {{"ErrorNum", kLong}}),
        method(EVENTID_OnActivateAnchor, "OnActivateAnchor", kVoid, {{"AnchorID", kBStr}}),
        method(EVENTID_OnStateChange, "OnStateChange", kVoid,
               {{"oldState", kLong}, {"newState", kLong}}),
        method(EVENTID_OnTimer, "OnTimer", kVoid),
        method(EVENTID_OnCursorIn, "OnCursorIn", kVoid, {{"AnchorID", kBStr}}),
        method(EVENTID_OnCursorOut, "OnCursorOut", kVoid, {{"AnchorID", kBStr}}),
        method(EVENTID_OnPositionChange, "OnPositionChange", kVoid,
               {{"oldPosition", kLong}, {"newPosition", kLong}}),
        method(EVENTID_OpenComplete, "OpenComplete", kVoid),
        method(EVENTID_MouseDown, "MouseDown", kVoid, mouseParams()),
        method(EVENTID_MouseMove, "MouseMove", kVoid, mouseParams()),
        method(EVENTID_MouseUp, "MouseUp", kVoid, mouseParams()),
    };
    return i;
}

TypeLibrary build() {
    TypeLibrary lib;
    lib.name = "QXMOVIELib";
    lib.libid = kLibidQXMOVIELib;
    lib.majorVersion = kLibMajorVersion;
    lib.minorVersion = kLibMinorVersion;
    lib.flags = TYPE_CONTROL;
    lib.helpString = s::kLibHelpString;
    lib.helpFile = s::kLibHelpFile;
    lib.imports = {"stdole32.tlb"};
    lib.aliases = {{"OLE_XPOS_PIXELS", kLong, {}}, {"OLE_YPOS_PIXELS", kLong, {}}};
    for (const PropertyDescriptor& p : kControlProperties) {
        if (!p.enumerated()) continue;
        EnumInfo e;
        e.name = std::string(p.enumName);
        for (std::size_t v = 0; v < p.enumStrings.size(); ++v)
            e.values.push_back({p.enumStrings[v].text, std::int32_t(v), {}});
        lib.enums.push_back(std::move(e));
    }
    lib.interfaces = {buildDispatch(), buildEvents()};
    CoClassInfo c;
    c.name = "QXMovie";
    c.clsid = kClsidQXMovie;
    c.flags = TYPE_CREATABLE | TYPE_CONTROL;
    c.helpString = s::kCoClassHelpString;
    c.interfaces = {{"_DQXMovie", true, false}, {"_DQXMovieEvents", true, true}};
    lib.coclasses = {std::move(c)};
    return lib;
}

} // namespace

const TypeLibrary& qxmovieTypeLibrary() {
    static const TypeLibrary lib = build();
    return lib;
}

const InterfaceInfo& dqxmovieInterface() {
    return qxmovieTypeLibrary().interfaces[0];
}
const InterfaceInfo& dqxmovieEventsInterface() {
    return qxmovieTypeLibrary().interfaces[1];
}

const MemberInfo& dqxmovieMember(DispId id) {
    const MemberInfo* m = dqxmovieInterface().find(id);
    if (!m) throw std::out_of_range("no such member of _DQXMovie");
    return *m;
}

std::vector<PredefinedString> predefinedStrings(DispId property) {
    std::vector<PredefinedString> out;
    if (const PropertyDescriptor* p = findControlProperty(property))
        for (std::size_t v = 0; v < p->enumStrings.size(); ++v)
            out.push_back({std::int32_t(v), p->enumStrings[v].id, p->enumStrings[v].text});
    return out;
}

std::string enumDisplayString(DispId property, std::int32_t value) {
    for (const PredefinedString& p : predefinedStrings(property))
        if (p.value == value) return p.text;
    return {};
}

std::string describeEvent(DispId id, Args args) {
    const MemberInfo* m = dqxmovieEventsInterface().find(id);
    std::string out = m ? m->name : "Event" + std::to_string(id);
    out += '(';
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) out += ", ";
        std::string text;
        args[i].toString(text);
        if (args[i].type() == VarType::BStr)
            out += '"' + text + '"';
        else
            out += text;
    }
    out += ')';
    return out;
}

} // namespace qxm::qxmovie

#include "player_control/control/QXMovieAutomation.h"

#include "player_control/control/CQXMovieCtrl.h"
#include "player_control/control/QXMovieTypeLib.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieProperties.h"
#include "player_control/definitions/QXMovieStrings.h"

namespace qxm::qxmovie {
namespace {

InterfaceInfo headerOnly() {
    InterfaceInfo header = dqxmovieInterface();
    header.members.clear(); // declared one by one below
    return header;
}

} // namespace

QXMovieAutomation::QXMovieAutomation(CQXMovieCtrl* control)
    : DispatchObject(headerOnly(), strings::kErrorSource), control_(control),
      events_(kIidDQXMovieEvents) {
    declareMembers();
}

CQXMovieCtrl& QXMovieAutomation::control() const {
    if (!control_) throw ComError::code(E_UNEXPECTED);
    return *control_;
}

HRESULT QXMovieAutomation::advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) {
    if (eventIid != IID_NULL && eventIid != kIidDQXMovieEvents && eventIid != IID_IDispatch)
        return CONNECT_E_CANNOTCONNECT;
    return events_.advise(sink, cookie);
}

HRESULT QXMovieAutomation::unadvise(std::uint32_t cookie) {
    return events_.unadvise(cookie);
}

HRESULT QXMovieAutomation::getClassInfo(TypeLibrary& library, Guid& clsid) {
    library = qxmovieTypeLibrary();
    clsid = kClsidQXMovie;
    return S_OK;
}

void QXMovieAutomation::declareMembers() {
    for (const PropertyDescriptor& p : kControlProperties) {
        Setter set;
        if (!p.readOnly())
            set = [this, &p](Args, const Variant& v) { control().setProperty(p, v); };
        declareProperty(
            dqxmovieMember(p.id), [this, &p](Args) { return control().property(p); },
            std::move(set));
    }

    declareMethod(dqxmovieMember(DISPID_Play), [this](Args a) {
        control().Play(a[0].asI4());
        return Variant();
    });
    declareMethod(dqxmovieMember(DISPID_Stop), [this](Args) {
        control().Stop();
        return Variant();
    });
    declareMethod(dqxmovieMember(DISPID_Pause), [this](Args) {
        control().Pause();
        return Variant();
    });
    declareMethod(dqxmovieMember(DISPID_EnableAnchor),
                  [this](Args a) { return Variant(control().EnableAnchor(a[0].asString())); });
    declareProperty(dqxmovieMember(DISPID_AnchorID),
                    [this](Args index) { return Variant(control().AnchorID(index[0].asI4())); });
    declareProperty(dqxmovieMember(DISPID_AnchorName),
                    [this](Args index) { return Variant(control().AnchorName(index[0].asI4())); });
    declareMethod(dqxmovieMember(DISPID_ABOUTBOX), [this](Args) {
        control().AboutBox();
        return Variant();
    });
}

} // namespace qxm::qxmovie

#pragma once
// The control's automation object: _DQXMovie by id and by name over the control's operations,
// the connection point of _DQXMovieEvents, and the class information of QXMovie. It holds the
// control by a weak reference: after the control is gone every call fails with E_UNEXPECTED.
#include <QPointer>

#include "platform/component/Dispatch.h"

namespace qxm::qxmovie {

class CQXMovieCtrl;

class QXMovieAutomation : public DispatchObject<IEventSource, ITypeInfoProvider> {
public:
    explicit QXMovieAutomation(CQXMovieCtrl* control);

    HRESULT advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) override;
    HRESULT unadvise(std::uint32_t cookie) override;
    HRESULT getClassInfo(TypeLibrary& library, Guid& clsid) override;

    void fire(DispId id, Args args) { events_.fire(id, args); }
    std::size_t sinkCount() const { return events_.sinkCount(); }
    void detach() { control_ = nullptr; }

private:
    CQXMovieCtrl& control() const;
    void declareMembers();

    QPointer<CQXMovieCtrl> control_;
    ConnectionPoint events_;
};

} // namespace qxm::qxmovie

#pragma once
// What the container that holds a control offers it. A plain container (no site set) is no
// browser, runs in user mode and grants every size the control asks for.
#include <QSize>

#include <optional>
#include <string>

#include "platform/component/TypeLib.h"

namespace qxm::qxmovie {

class CQXMovieCtrl;

class IControlSite {
public:
    virtual ~IControlSite() = default;
    // The location (URL) of the page that holds the control, when the container is a browser.
    virtual std::optional<std::string> pageLocation() const { return std::nullopt; }
    // The ambient user mode: false while the container is in design mode.
    virtual bool userMode() const { return true; }
    // The control asks for a new extent. The container answers, if it agrees, by setting a new
    // object rectangle (CQXMovieCtrl::setObjectRect). The default grants it at once.
    virtual void requestNewSize(CQXMovieCtrl& control, QSize size);
    // A bindable property changed (MovieFile, CursorFile).
    virtual void propertyChanged(DispId) {}
    // The control's properties verb (the property sheet).
    virtual void showProperties(CQXMovieCtrl&) {}
};

} // namespace qxm::qxmovie

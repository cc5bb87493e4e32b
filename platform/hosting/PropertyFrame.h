#pragma once
// The property frame: a modal dialog showing property pages as tabs, with OK, Cancel and
// Apply. Apply is enabled while the current page is dirty and applies every dirty page; OK
// applies every dirty page and closes (staying open, on the refusing page, when a page
// refuses); Cancel closes without applying. When the frame closes, its pages are deactivated
// and let go of the objects and of the frame's site. The frame's tabs fit the largest page.
#include <QDialog>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/Unknown.h"
#include "platform/hosting/PropertyPages.h"

class QDialogButtonBox;
class QTabWidget;

namespace qxm {

// Makes a page object of a class. The default creates it through the component registry.
using PageCreator = std::function<HRESULT(const Guid& clsid, ComPtr<IPropertyPage>& out)>;
HRESULT createPageFromRegistry(const Guid& clsid, ComPtr<IPropertyPage>& out);

class PropertyFrame : public QDialog {
    Q_OBJECT
public:
    // Creates the pages (a page that cannot be created is left out), gives them the objects
    // and activates each in its tab. caption is the window title.
    PropertyFrame(QWidget* parent, const std::string& caption, std::span<IUnknown* const> objects,
                  std::span<const Guid> pages, const PageCreator& create = createPageFromRegistry);
    ~PropertyFrame() override;

    std::size_t pageCount() const { return pages_.size(); }
    IPropertyPage* page(std::size_t index) const { return pages_[index].get(); }
    QTabWidget* tabs() const { return tabs_; }
    QDialogButtonBox* buttons() const { return buttons_; }
    // Applies every dirty page; false when one refused.
    bool applyAll();

public slots:
    void accept() override;

private:
    class Site;
    void updateApply();
    // Deactivates every page and lets it go of the objects and the site.
    void closePages();

    std::vector<ComPtr<IPropertyPage>> pages_;
    ComPtr<Site> site_;
    QTabWidget* tabs_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

// Shows the frame modally; S_OK after OK or Cancel, E_FAIL when no page could be created.
HRESULT showPropertyFrame(QWidget* parent, const std::string& caption,
                          std::span<IUnknown* const> objects, std::span<const Guid> pages,
                          const PageCreator& create = createPageFromRegistry);

} // namespace qxm

#include "platform/hosting/PropertyFrame.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

#include "platform/activation/Activation.h"

namespace qxm {

// The pages' site: a page reports its status changes to the frame through it. The frame
// detaches it when it closes; a page holding on to it longer reaches nothing.
class PropertyFrame::Site : public Object<IPropertyPageSite> {
public:
    explicit Site(PropertyFrame* frame) : frame_(frame) {}
    void detach() { frame_ = nullptr; }

    HRESULT onStatusChange(std::uint32_t flags) override {
        if (frame_ && (flags & (PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE)))
            frame_->updateApply();
        return S_OK;
    }

private:
    PropertyFrame* frame_;
};

HRESULT createPageFromRegistry(const Guid& clsid, ComPtr<IPropertyPage>& out) {
    return createInstance(clsid, out);
}

PropertyFrame::PropertyFrame(QWidget* parent, const std::string& caption,
                             std::span<IUnknown* const> objects, std::span<const Guid> pages,
                             const PageCreator& create)
    : QDialog(parent), site_(makeObject<Site>(this)) {
    setWindowTitle(QString::fromLocal8Bit(caption.data(), qsizetype(caption.size())));
    tabs_ = new QTabWidget(this);
    buttons_ = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);

    // Each page in a tab of its own; the tab's area is as large as the largest page.
    std::vector<QWidget*> holders;
    QSize largest(0, 0);
    for (const Guid& clsid : pages) {
        ComPtr<IPropertyPage> page;
        if (failed(create(clsid, page)) || !page) continue;
        PropertyPageInfo info;
        if (failed(page->setPageSite(site_.get())) || failed(page->getPageInfo(info))) {
            page->setPageSite(nullptr);
            continue;
        }
        if (failed(page->setObjects(objects))) {
            page->setPageSite(nullptr);
            continue;
        }
        auto holder = std::make_unique<QWidget>();
        if (failed(page->activate(holder.get())) || !page->widget()) {
            page->setObjects({});
            page->setPageSite(nullptr);
            continue;
        }
        auto* layout = new QVBoxLayout(holder.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page->widget(), 0, Qt::AlignLeft | Qt::AlignTop);
        const QSize size = info.size.isValid() ? info.size : page->widget()->sizeHint();
        largest = largest.expandedTo(size);
        holders.push_back(holder.get());
        tabs_->addTab(holder.release(), // the tab widget owns it from here
                      QString::fromLocal8Bit(info.title.data(), qsizetype(info.title.size())));
        pages_.push_back(std::move(page));
    }
    for (QWidget* holder : holders)
        holder->setMinimumSize(largest);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons_, &QDialogButtonBox::accepted, this, &PropertyFrame::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &PropertyFrame::reject);
    connect(buttons_->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] {
        applyAll();
        updateApply();
    });
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { updateApply(); });
    connect(this, &QDialog::finished, this, [this] { closePages(); });
    updateApply();
}

PropertyFrame::~PropertyFrame() {
    closePages();
    site_->detach();
}

bool PropertyFrame::applyAll() {
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        IPropertyPage& page = *pages_[i];
        if (page.isPageDirty() != S_OK) continue;
        if (failed(page.apply())) {
            tabs_->setCurrentIndex(int(i));
            updateApply();
            return false;
        }
    }
    return true;
}

void PropertyFrame::accept() {
    if (applyAll()) QDialog::accept();
}

void PropertyFrame::updateApply() {
    QPushButton* apply = buttons_ ? buttons_->button(QDialogButtonBox::Apply) : nullptr;
    if (!apply) return;
    const int current = tabs_->currentIndex();
    const bool dirty = current >= 0 && std::size_t(current) < pages_.size() &&
                       pages_[std::size_t(current)]->widget() &&
                       pages_[std::size_t(current)]->isPageDirty() == S_OK;
    apply->setEnabled(dirty);
}

void PropertyFrame::closePages() {
    for (const ComPtr<IPropertyPage>& page : pages_) {
        if (page->widget()) page->deactivate();
        page->setObjects({});
        page->setPageSite(nullptr);
    }
    updateApply();
}

HRESULT showPropertyFrame(QWidget* parent, const std::string& caption,
                          std::span<IUnknown* const> objects, std::span<const Guid> pages,
                          const PageCreator& create) {
    PropertyFrame frame(parent, caption, objects, pages, create);
    if (frame.pageCount() == 0) return E_FAIL;
    frame.exec();
    return S_OK;
}

} // namespace qxm

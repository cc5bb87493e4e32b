#include "editor/shell/dialogs/AnchorListDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <memory>
#include <utility>

#include "editor/shell/dialogs/DialogPlacement.h"
#include "editor/shell/dialogs/DialogTexts.h"
#include "platform/ui/SystemText.h"

namespace qxm::editor {

using namespace dialogtext;

namespace {

// The template in dialog units: the list on the left, the buttons in a column on the right.
constexpr QSize kDialogSize(216, 150);
constexpr QRect kPromptRect(8, 7, 148, 10);
constexpr QRect kSelectedRect(8, 20, 148, 13);
constexpr QRect kListRect(8, 38, 148, 104);
constexpr QRect kOkRect(164, 7, 44, 14);
constexpr QRect kCancelRect(164, 25, 44, 14);
constexpr QRect kUpRect(164, 56, 44, 14);
constexpr QRect kDownRect(164, 74, 44, 14);
constexpr QRect kDeleteRect(164, 128, 44, 14);

} // namespace

std::string anchorListEntry(const anchors::AnchorRecord& record) {
    return record.Name + "[" + record.ID + "]";
}

AnchorListDialog::AnchorListDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AnchorListDialog"));
    setProperty("dialogId", IDD_ANCHORLIST);
    setWindowTitle(QString::fromLatin1(kAnchorListCaption));
    setFont(ui::dialogFont(kAnchorDialogFontFamily, kAnchorDialogFontPointSize));
    const ui::DialogBaseUnits base = ui::dialogBaseUnits(font());
    setFixedSize(ui::dialogUnitsToPixels(kDialogSize, base));

    auto* prompt = new QLabel(QString::fromLatin1(kSelectAnchor), this);
    placeControl(*prompt, IDC_STATIC, "promptText", kPromptRect, base);
    selected_ = new QLineEdit(this);
    selected_->setReadOnly(true);
    placeControl(*selected_, IDC_SELECTEDANCHOR, nullptr, kSelectedRect, base);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    placeControl(*list_, IDC_ANCHORLIST, nullptr, kListRect, base);

    auto button = [&](const char* text, int id, const QRect& units) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        placeControl(*b, id, nullptr, units, base);
        return b;
    };
    ok_ = button(kOk, IDOK, kOkRect);
    ok_->setDefault(true);
    cancel_ = button(kCancel, IDCANCEL, kCancelRect);
    up_ = button(kUp, IDC_UP, kUpRect);
    down_ = button(kDown, IDC_DOWN, kDownRect);
    delete_ = button(kDelete, IDC_DELETE, kDeleteRect);

    setTabOrder(list_, selected_);
    setTabOrder(selected_, ok_);
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, up_);
    setTabOrder(up_, down_);
    setTabOrder(down_, delete_);

    connect(list_, &QListWidget::itemSelectionChanged, this, &AnchorListDialog::onSelectionChanged);
    connect(list_, &QListWidget::itemDoubleClicked, this, &AnchorListDialog::onOk);
    connect(ok_, &QPushButton::clicked, this, &AnchorListDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &AnchorListDialog::reject);
    connect(up_, &QPushButton::clicked, this, [this] { onMove(anchors::Direction::Up); });
    connect(down_, &QPushButton::clicked, this, [this] { onMove(anchors::Direction::Down); });
    connect(delete_, &QPushButton::clicked, this, &AnchorListDialog::onDelete);
}

int AnchorListDialog::Run(anchors::AnchorTable& table) {
    SelectedText.clear();
    savedFlag_ = table.AnchorDataSaved;
    savedCurrent_ = table.CurrentAnchor;
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
        for (const anchors::AnchorRecord& record : table.records())
            list_->addItem(ui::fromSystem(anchorListEntry(record)));
        list_->setCurrentItem(nullptr);
    }
    selected_->clear();
    updateButtons();
    if (!table.Backup(backup_)) { // the message is shown; the table is as it was
        setResult(QDialog::Accepted);
        return QDialog::Accepted;
    }
    list_->setFocus(Qt::OtherFocusReason);

    table_ = &table;
    const int result = exec();
    table_ = nullptr;
    backup_.clear();
    backup_.shrink_to_fit();
    return result;
}

void AnchorListDialog::endWithCancel() {
    if (isVisible()) QDialog::done(QDialog::Rejected);
}

void AnchorListDialog::reject() {
    // Restores once per run: the table is let go of, so a second reject cannot empty it.
    if (anchors::AnchorTable* table = std::exchange(table_, nullptr)) {
        table->Assign(std::move(backup_));
        backup_.clear();
        table->CurrentAnchor = savedCurrent_;
        table->AnchorDataSaved = savedFlag_;
    }
    QDialog::reject();
}

void AnchorListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOverParent(*this);
}

int AnchorListDialog::selectedRow() const {
    const QList<QListWidgetItem*> items = list_->selectedItems();
    return items.isEmpty() ? -1 : list_->row(items.first());
}

void AnchorListDialog::updateButtons() {
    const int row = selectedRow();
    const int count = list_->count();
    const bool selected = row >= 0;
    ok_->setEnabled(selected || count == 0);
    delete_->setEnabled(selected);
    up_->setEnabled(selected && count > 1 && row > 0);
    down_->setEnabled(selected && count > 1 && row < count - 1);
}

void AnchorListDialog::onSelectionChanged() {
    const int row = selectedRow();
    if (row < 0) { // Ctrl+click took the selection away; the entry selected last stays
        updateButtons();
        return;
    }
    const QString text = list_->item(row)->text();
    selected_->setText(text);
    SelectedText = ui::toSystem(text);
    updateButtons();
}

void AnchorListDialog::onOk() {
    if (!ok_->isEnabled()) return;
    accept();
}

void AnchorListDialog::onMove(anchors::Direction direction) {
    const int row = selectedRow();
    if (row < 0 || !table_) return;
    if (!table_->Move(static_cast<std::size_t>(row), direction)) return; // at the end already
    const int other = direction == anchors::Direction::Up ? row - 1 : row + 1;
    QListWidgetItem* moved = list_->item(row);
    QListWidgetItem* neighbour = list_->item(other);
    const QString text = moved->text();
    moved->setText(neighbour->text());
    neighbour->setText(text);
    list_->setCurrentRow(other, QItemSelectionModel::ClearAndSelect);
    updateButtons();
}

void AnchorListDialog::onDelete() {
    const int row = selectedRow();
    if (row < 0 || !table_) return;
    {
        const QSignalBlocker quiet(list_);
        std::unique_ptr<QListWidgetItem> gone(list_->takeItem(row));
        list_->clearSelection();
        list_->setCurrentItem(nullptr);
    }
    table_->Remove(static_cast<std::size_t>(row));
    selected_->clear();
    SelectedText.clear();
    updateButtons();
    cancel_->setFocus(Qt::OtherFocusReason);
}

} // namespace qxm::editor

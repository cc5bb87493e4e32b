#include "editor/shell/dialogs/NewAnchorDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/anchors/AnchorRules.h"
#include "editor/anchors/AnchorTable.h"
#include "editor/shell/dialogs/DialogPlacement.h"
#include "editor/shell/dialogs/DialogTexts.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/SystemText.h"

namespace qxm::editor {

using namespace dialogtext;

namespace {

// The template in dialog units.
constexpr QSize kDialogSize(200, 86);
constexpr QRect kPromptRect(8, 7, 120, 10);
constexpr QRect kNameLabelRect(8, 25, 52, 10);
constexpr QRect kNameEditRect(62, 23, 130, 13);
constexpr QRect kIdLabelRect(8, 43, 52, 10);
constexpr QRect kIdEditRect(62, 41, 64, 13);
constexpr QRect kOkRect(86, 64, 50, 14);
constexpr QRect kCancelRect(142, 64, 50, 14);

// The edits take at most as many characters as the rules allow bytes.
constexpr int kNameChars = static_cast<int>(anchors::kMaxNameBytes);
constexpr int kIdChars = static_cast<int>(anchors::kMaxIdBytes);

// An empty table for checks made while no Run() is active.
const anchors::AnchorTable& noAnchors() {
    static const anchors::AnchorTable empty;
    return empty;
}

void focusAndSelectAll(QLineEdit& edit) {
    edit.setFocus(Qt::OtherFocusReason);
    edit.selectAll();
}

} // namespace

NewAnchorDialog::NewAnchorDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NewAnchorDialog"));
    setProperty("dialogId", IDD_NEWANCHOR);
    setWindowTitle(QString::fromLatin1(kNewAnchorCaption));
    setFont(ui::dialogFont(kAnchorDialogFontFamily, kAnchorDialogFontPointSize));
    const ui::DialogBaseUnits base = ui::dialogBaseUnits(font());
    setFixedSize(ui::dialogUnitsToPixels(kDialogSize, base));

    auto* prompt = new QLabel(QString::fromLatin1(kSpecifyNewAnchor), this);
    placeControl(*prompt, IDC_STATIC, "promptText", kPromptRect, base);
    auto* nameLabel = new QLabel(QString::fromLatin1(kAnchorNameLabel), this);
    placeControl(*nameLabel, IDC_STATIC, "nameLabel", kNameLabelRect, base);
    name_ = new QLineEdit(this);
    name_->setMaxLength(kNameChars);
    placeControl(*name_, IDC_ANCHORNAME, nullptr, kNameEditRect, base);
    nameLabel->setBuddy(name_);
    auto* idLabel = new QLabel(QString::fromLatin1(kAnchorIdLabel), this);
    placeControl(*idLabel, IDC_STATIC, "idLabel", kIdLabelRect, base);
    id_ = new QLineEdit(this);
    id_->setMaxLength(kIdChars);
    placeControl(*id_, IDC_ANCHORID, nullptr, kIdEditRect, base);
    idLabel->setBuddy(id_);

    ok_ = new QPushButton(QString::fromLatin1(kOk), this);
    placeControl(*ok_, IDOK, nullptr, kOkRect, base);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QString::fromLatin1(kCancel), this);
    placeControl(*cancel_, IDCANCEL, nullptr, kCancelRect, base);

    setTabOrder(name_, id_);
    setTabOrder(id_, ok_);
    setTabOrder(ok_, cancel_);
    connect(ok_, &QPushButton::clicked, this, &NewAnchorDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

int NewAnchorDialog::Run(const anchors::AnchorTable& table) {
    const std::string number = std::to_string(table.AnchorsCreated + 1);
    name_->setText(ui::fromSystem(kDefaultNamePrefix + number));
    id_->setText(ui::fromSystem(kDefaultIdPrefix + number));
    focusAndSelectAll(*name_);
    table_ = &table;
    const int result = exec();
    table_ = nullptr;
    return result;
}

void NewAnchorDialog::endWithCancel() {
    if (isVisible()) QDialog::done(QDialog::Rejected);
}

void NewAnchorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOverParent(*this);
}

void NewAnchorDialog::onOk() {
    Name = ui::toSystem(name_->text());
    ID = ui::toSystem(id_->text());
    const anchors::NewAnchorProblem problem =
        anchors::CheckNewAnchor(table_ ? *table_ : noAnchors(), Name, ID);
    if (!problem) {
        accept();
        return;
    }
    qxm::prompt(problem.message, kNewAnchorCaption, Buttons::Ok, Icon::Warning);
    focusAndSelectAll(problem.nameField ? *name_ : *id_);
}

} // namespace qxm::editor

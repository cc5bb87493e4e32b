#pragma once
// The New Anchor dialog (template 104): asks for the name and the ID of a new anchor and lets
// the author end it with OK only when both pass the anchor rules and the ID is new. One object
// serves every run; it centres itself over its parent each time it is shown.
#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace qxm::anchors {
class AnchorTable;
}

namespace qxm::editor {

class NewAnchorDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewAnchorDialog(QWidget* parent = nullptr);

    // Runs modally: proposes "AnchorName<n>" and "AncID<n>" with n = table.AnchorsCreated + 1
    // and checks the texts against the table's anchors when OK is pressed. QDialog::Accepted
    // only when every check passed; then Name and ID hold the new anchor's texts.
    int Run(const anchors::AnchorTable& table);

    // The texts of the two edits as OK last took them, in the locale's charset. They stay
    // between runs.
    std::string Name;
    std::string ID;

    // Ends a running dialog with QDialog::Rejected without the Cancel button's handling (an
    // open request from outside ends the dialog this way). Nothing happens when not running.
    void endWithCancel();

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* idEdit() const { return id_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onOk();

    QLineEdit* name_ = nullptr;
    QLineEdit* id_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    const anchors::AnchorTable* table_ = nullptr; // while Run() runs
};

} // namespace qxm::editor

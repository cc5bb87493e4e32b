#pragma once
// The anchor list dialog (template 110): lists the anchors as "Name[ID]" in table order; the
// author selects one to work on and may move anchors up and down or delete them. The table is
// changed as the author goes; Cancel puts it back exactly as it was when the dialog opened.
// One object serves every run; it centres itself over its parent each time it is shown.
#include <QDialog>

#include <string>
#include <vector>

#include "editor/anchors/AnchorTable.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace qxm::editor {

// The list's text of an anchor: its name followed by its ID in square brackets.
std::string anchorListEntry(const anchors::AnchorRecord& record);

class AnchorListDialog : public QDialog {
    Q_OBJECT
public:
    explicit AnchorListDialog(QWidget* parent = nullptr);

    // Runs modally over the table. QDialog::Accepted leaves the table with the moves and
    // deletions made in the dialog; QDialog::Rejected (Cancel, Escape, closing the window)
    // leaves it exactly as before, AnchorDataSaved and CurrentAnchor included. When the copy
    // taken for that cannot be made, "No Memory Available." is shown and the run ends at once
    // with QDialog::Accepted, the table untouched.
    int Run(anchors::AnchorTable& table);

    // "Name[ID]" of the entry selected last in this run, empty when none was or when it was
    // deleted. It stays after the run until the next one begins.
    std::string SelectedText;

    // Ends a running dialog with QDialog::Rejected without the Cancel handling: the table
    // keeps the changes made so far. Nothing happens when not running.
    void endWithCancel();

    QListWidget* list() const { return list_; }
    QLineEdit* selectedEdit() const { return selected_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* upButton() const { return up_; }
    QPushButton* downButton() const { return down_; }
    QPushButton* deleteButton() const { return delete_; }

    void reject() override; // the Cancel handling

protected:
    void showEvent(QShowEvent* event) override;

private:
    int selectedRow() const; // -1 when nothing is selected
    void updateButtons();
    void onSelectionChanged();
    void onOk();
    void onMove(anchors::Direction direction);
    void onDelete();

    QLineEdit* selected_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* delete_ = nullptr;

    // While Run() runs: the table, and what Cancel restores.
    anchors::AnchorTable* table_ = nullptr;
    std::vector<anchors::AnchorRecord> backup_;
    bool savedFlag_ = true;
    int savedCurrent_ = -1;
};

} // namespace qxm::editor

#pragma once
// Helpers of the editor dialog tests: running a modal dialog with steps taken from inside its
// event loop, sample anchor tables, the layout check and the pictures of the dialogs.
#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "editor/anchors/AnchorTable.h"

class QAbstractButton;
class QListWidget;
class QWidget;

namespace qxm::editor::testing {

// Runs `run` (which shows `dialog` modally) and takes `steps` once the dialog is up and active.
// A dialog still open after the steps is ended with QDialog::done(Rejected), which skips any
// Cancel handling, so a failed step cannot hang the test; `leftOpen` tells whether that was
// needed.
int runModal(QDialog& dialog, const std::function<int()>& run, const std::function<void()>& steps,
             bool* leftOpen = nullptr);

// A table of complete anchors, each with a start, a middle and an end key frame, saved.
anchors::AnchorTable sampleTable(const std::vector<std::pair<std::string, std::string>>& nameIds);

// A real left click on a widget, or on a row of a list.
void click(QAbstractButton* button);
void clickRow(QListWidget* list, int row);
void doubleClickRow(QListWidget* list, int row);

// The texts of a list's entries.
std::vector<std::string> entries(const QListWidget* list);

// Every control lies inside the dialog, shows its whole text and overlaps no other.
void expectTidyLayout(QWidget& dialog);

// Saves a picture of the widget as <build>/test-home/editor-dialogs/<name>.png.
bool savePicture(QWidget& widget, const char* name);

} // namespace qxm::editor::testing

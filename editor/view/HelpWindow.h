#pragma once
// The editor's manual in a window of its own: an HTML page installed with the program
// (share/qxm/manual.html beside the program's folder), shown in a browser widget so that it
// works without a desktop browser.
#include <QString>
#include <QWidget>

namespace qxm::editor {

class HelpWindow {
public:
    // Where the manual is: $QXM_MANUAL when set, else <program folder>/../share/qxm/manual.html.
    static QString manualPath();
    // Makes the help window (not yet shown), owned by parent.
    static QWidget* open(QWidget* parent);
};

} // namespace qxm::editor

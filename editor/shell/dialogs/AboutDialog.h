#pragma once
// The About box of the editor (template 100): the program's picture in a sunken frame, the
// version and an OK button.
#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

namespace qxm::editor {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // Shows the box modally until OK (or Escape) ends it.
    int Run() { return exec(); }

    QLabel* picture() const { return picture_; }
    QLabel* versionText() const { return version_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLabel* picture_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// Bitmap 125 at the given size: three frames of a film strip in which a ball crosses a field,
// framed in each by a red anchor rectangle.
QPixmap programPicture(QSize size);

} // namespace qxm::editor

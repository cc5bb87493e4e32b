#pragma once
// The About box of the control (dialog 1): the control's picture, name and version, a short
// description and the copyright, with an OK button.
#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

namespace qxm::qxmovie {

class QXMovieAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit QXMovieAboutDialog(QWidget* parent = nullptr);

    QPushButton* okButton() const { return ok_; }

private:
    QPushButton* ok_ = nullptr;
};

// Shows the About box modally over parent.
void showAboutBox(QWidget* parent);

// Bitmap 126: a film strip with a red anchor frame and the mouse pointer over it.
QPixmap aboutPicture();

} // namespace qxm::qxmovie

#include "editor/shell/dialogs/AboutDialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "editor/shell/dialogs/DialogPlacement.h"
#include "editor/shell/dialogs/DialogTexts.h"

namespace qxm::editor {

using namespace dialogtext;

namespace {

// The template in dialog units.
constexpr QSize kDialogSize(168, 64);
constexpr QRect kPictureRect(8, 8, 72, 48);
constexpr QRect kVersionRect(88, 12, 72, 10);
constexpr QRect kOkRect(110, 42, 50, 14);

// The picture is drawn on a 120 x 80 canvas and scaled to the size asked for.
constexpr QSizeF kCanvas(120, 80);

} // namespace

QPixmap programPicture(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(QColor(250, 246, 232));
    if (size.isEmpty()) return pixmap;
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size.width() / kCanvas.width(), size.height() / kCanvas.height());

    // The strip, slightly tilted, with its sprocket holes.
    p.translate(60, 40);
    p.rotate(-6);
    p.translate(-60, -40);
    const QRectF strip(-6, 14, 132, 52);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 34, 42));
    p.drawRect(strip);
    p.setBrush(QColor(250, 246, 232));
    for (qreal x = strip.left() + 3; x < strip.right() - 4; x += 9) {
        p.drawRoundedRect(QRectF(x, strip.top() + 2.5, 5, 4), 1, 1);
        p.drawRoundedRect(QRectF(x, strip.bottom() - 6.5, 5, 4), 1, 1);
    }

    // Three frames: sky over a field, a ball travelling across it, the anchor following it.
    for (int i = 0; i < 3; ++i) {
        const QRectF frame(2 + i * 39, strip.top() + 10, 35, 32);
        p.setBrush(QColor(140, 190, 240));
        p.drawRect(frame);
        p.setBrush(QColor(84, 160, 80));
        p.drawRect(QRectF(frame.left(), frame.top() + 21, frame.width(), frame.height() - 21));
        const QPointF ball(frame.left() + 8 + i * 9, frame.top() + 19 - i * 5);
        p.setBrush(QColor(250, 250, 250));
        p.setPen(QPen(QColor(60, 60, 60), 0.8));
        p.drawEllipse(ball, 4, 4);
        p.setPen(QPen(QColor(220, 0, 0), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(ball.x() - 6.5, ball.y() - 6.5, 13, 13));
        p.setPen(Qt::NoPen);
    }
    return pixmap;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setProperty("dialogId", IDD_ABOUTBOX);
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    setFont(ui::dialogFont(kAboutFontFamily, kAboutFontPointSize));
    const ui::DialogBaseUnits base = ui::dialogBaseUnits(font());
    setFixedSize(ui::dialogUnitsToPixels(kDialogSize, base));

    picture_ = new QLabel(this);
    placeControl(*picture_, IDC_STATIC, "picture", kPictureRect, base);
    picture_->setProperty("bitmapId", IDB_PROGRAM);
    picture_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture_->setLineWidth(1);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setPixmap(programPicture(picture_->contentsRect().size()));

    version_ = new QLabel(QString::fromLatin1(kVersion), this);
    placeControl(*version_, IDC_STATIC, "versionText", kVersionRect, base);

    ok_ = new QPushButton(QString::fromLatin1(kOk), this);
    placeControl(*ok_, IDOK, nullptr, kOkRect, base);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace qxm::editor

#include "player_control/pages/QXMovieAboutDlg.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

#include "platform/ui/DialogUnits.h"
#include "player_control/pages/QXMoviePageTexts.h"

namespace qxm::qxmovie {

using ui::dialogFont;
using ui::dialogUnitsToPixels;

using namespace pagetexts;

namespace {

constexpr QSize kAboutDialogUnits(146, 99);
constexpr QSize kPictureSize(72, 40);

QLabel* staticText(QWidget* parent, const QString& text, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setProperty("controlId", IDC_STATIC);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

QPixmap aboutPicture() {
    QPixmap pixmap(kPictureSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The strip: dark film with sprocket holes along both edges.
    const QRect strip(0, 2, 64, 36);
    p.fillRect(strip, QColor(40, 40, 48));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 235, 220));
    for (int x = 3; x < strip.right() - 2; x += 8) {
        p.drawRect(x, strip.top() + 2, 4, 3);
        p.drawRect(x, strip.bottom() - 4, 4, 3);
    }
    // Two frames of a scene: sky over a green hill.
    for (int i = 0; i < 2; ++i) {
        const QRect frame(3 + i * 31, strip.top() + 8, 27, 20);
        p.fillRect(frame, QColor(120, 170, 230));
        QPainterPath hill;
        hill.moveTo(frame.left(), frame.bottom() + 1);
        hill.quadTo(frame.center().x(), frame.top() + 6 + i * 2, frame.right() + 1,
                    frame.bottom() - 4);
        hill.lineTo(frame.right() + 1, frame.bottom() + 1);
        hill.closeSubpath();
        p.setBrush(QColor(70, 150, 70));
        p.drawPath(hill);
        p.setBrush(QColor(250, 220, 60));
        p.drawEllipse(QPoint(frame.left() + 6 + i * 3, frame.top() + 5), 3, 3);
    }
    // The anchor: a red frame around an object of the second frame.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(230, 0, 0), 2));
    p.drawRect(QRect(44, strip.top() + 13, 12, 11));

    // The mouse pointer over the anchor.
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF tip(52, 21);
    const QPointF arrow[] = {tip,
                             tip + QPointF(0, 16),
                             tip + QPointF(4, 12),
                             tip + QPointF(7, 18.5),
                             tip + QPointF(9.5, 17.5),
                             tip + QPointF(6.5, 11),
                             tip + QPointF(11.5, 11)};
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(arrow, int(std::size(arrow)));
    return pixmap;
}

QXMovieAboutDialog::QXMovieAboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("QXMovieAboutDialog"));
    setProperty("dialogId", IDD_ABOUTBOX_QXMOVIE);
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    setFont(dialogFont(kAboutFontFamily, kAboutFontPointSize));
    setFixedSize(dialogUnitsToPixels(kAboutDialogUnits, font()));

    auto* picture = new QLabel(this);
    picture->setProperty("controlId", IDC_STATIC);
    picture->setProperty("bitmapId", IDB_QXMOVIE);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(aboutPicture());
    picture->setAlignment(Qt::AlignCenter);

    QLabel* title = staticText(this, QString::fromLatin1(kAboutTitle), "titleText");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    QLabel* version = staticText(this, QString::fromStdString(aboutVersionText()), "versionText");
    QLabel* description =
        staticText(this, QString::fromLatin1(kAboutDescription), "descriptionText");
    QLabel* copyright = staticText(this, QString::fromLatin1(kAboutCopyright), "copyrightText");

    ok_ = new QPushButton(QString::fromLatin1(kOk), this);
    ok_->setProperty("controlId", IDOK);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(2);
    layout->addWidget(picture);
    layout->addSpacing(4);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addSpacing(6);
    layout->addWidget(description);
    layout->addWidget(copyright);
    layout->addStretch();
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
}

void showAboutBox(QWidget* parent) {
    QXMovieAboutDialog dialog(parent);
    dialog.exec();
}

} // namespace qxm::qxmovie

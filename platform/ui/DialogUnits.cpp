#include "platform/ui/DialogUnits.h"

#include <QFontMetrics>

namespace qxm::ui {
namespace {

// a * b / c rounded to the nearest, halves away from zero.
int mulDivRounded(int a, int b, int c) {
    const long long n = static_cast<long long>(a) * b;
    const long long q = (2 * (n < 0 ? -n : n) + c) / (2 * c);
    return static_cast<int>(n < 0 ? -q : q);
}

} // namespace

DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {mulDivRounded(letters, 1, 52), metrics.height()};
}

QSize dialogUnitsToPixels(QSize dialogUnits, DialogBaseUnits base) {
    return {mulDivRounded(dialogUnits.width(), base.x, 4),
            mulDivRounded(dialogUnits.height(), base.y, 8)};
}

QFont dialogFont(const char* family, int pointSize) {
    QFont font(QString::fromLatin1(family), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace qxm::ui

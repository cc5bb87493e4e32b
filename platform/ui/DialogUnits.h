#pragma once
// Dialog units: the measure dialog layouts are written in. A horizontal unit is a quarter of
// the dialog font's average character width, a vertical unit an eighth of its height.
#include <QFont>
#include <QSize>

namespace qxm::ui {

struct DialogBaseUnits {
    int x = 0; // average width of the letters A-Z and a-z, rounded
    int y = 0; // the font's height
    friend bool operator==(const DialogBaseUnits&, const DialogBaseUnits&) = default;
};

// The base units of a font (needs a GUI application for the font's metrics).
DialogBaseUnits dialogBaseUnits(const QFont& font);

// Pixels of a size in dialog units: x * base.x / 4, y * base.y / 8, rounded to the nearest.
QSize dialogUnitsToPixels(QSize dialogUnits, DialogBaseUnits base);
inline QSize dialogUnitsToPixels(QSize dialogUnits, const QFont& font) {
    return dialogUnitsToPixels(dialogUnits, dialogBaseUnits(font));
}

// A font of a family with its size in points, falling back to a similar family where the
// family itself is not installed.
QFont dialogFont(const char* family, int pointSize);

} // namespace qxm::ui

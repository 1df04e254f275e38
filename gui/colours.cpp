#include "colours.h"

#include <QWidget>

QColor ColourFromValue(int value) {
    const unsigned v = static_cast<unsigned>(value);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

int ColourValue(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return rgb.red() | rgb.green() << 8 | rgb.blue() << 16;
}

void SetPaletteColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    if (p.isBrushSet(QPalette::Active, role) && p.color(role) == colour) return;
    p.setColor(role, colour);
    widget->setPalette(p);
}

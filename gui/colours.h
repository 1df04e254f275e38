// Colours as the program keeps and stores them: integers 0x00BBGGRR (blue
// in the high byte, red in the low one), written in decimal. A QColor is
// made from one only here.
#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// The colour of the value's low three bytes.
QColor ColourFromValue(int value);
int ColourValue(const QColor& colour);

// One colour of the widget's palette (nothing when it has it already).
void SetPaletteColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

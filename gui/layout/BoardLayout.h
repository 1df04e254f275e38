// Where things lie on a board picture, and the key colour of the piece
// images: shared by the board view and the generator of the piece sets.
#pragma once

#include <QFont>
#include <QFontMetrics>

#include <algorithm>

// Every pixel of exactly this colour in a piece or marker image is
// background. As a colour integer 0x00BBGGRR: red 0xFF, green 0x33, blue 0x99.
constexpr unsigned BOARD_KEY_COLOUR = 0x9933FF;
// The same colour as 0xRRGGBB.
constexpr unsigned BOARD_KEY_RGB =
    (BOARD_KEY_COLOUR & 0xFF) << 16 | (BOARD_KEY_COLOUR & 0xFF00) | (BOARD_KEY_COLOUR >> 16 & 0xFF);

// A board picture w pixels wide: the squares begin w div 25 from its left
// edge and are w * 2/17 wide, a1 dark; the rest is the frame. The same rule
// holds down the picture's height.
constexpr int BoardOrigin(int w) { return w / 25; }
constexpr double SquareSide(int w) { return w * 2.0 / 17.0; }
// Left (top) edge of column (row) i, 0..8.
constexpr int SquareEdge(int w, int i) { return static_cast<int>(BoardOrigin(w) + SquareSide(w) * i); }

// Piece and marker images are a tenth of the board's side, drawn at the
// top-left corner of their square.
constexpr int PieceImageSide(int boardSide) { return boardSide / 10; }

// Coordinates on a board picture w x h: the labels' whole cell (ascent and
// descent) is h div 25 high; rank label i (0 the top row) and file label i
// (0 the left column) have their cells' top-left corners here.
constexpr int LabelCellHeight(int h) { return h / 25; }
constexpr int RankLabelLeft(int w) { return w / 90 - 3; }
constexpr int RankLabelTop(int h, int i) { return static_cast<int>((i + 0.6) * h * 2 / 17); }
constexpr int FileLabelLeft(int w, int i) { return static_cast<int>((i + 0.6) * w * 2 / 17); }
constexpr int FileLabelTop(int h) { return h - h / 28; }

// The labels' font on a board picture h high: the base font at the largest
// pixel size whose line fits the cell, bold from a cell of 11 pixels.
inline QFont CoordinateFont(QFont font, int h) {
    const int cell = LabelCellHeight(h);
    font.setBold(cell >= 11);
    int size = std::max(1, cell);
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > cell) font.setPixelSize(--size);
    return font;
}

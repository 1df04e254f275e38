// Generator for Morlaquin's shipped pictures, piece sets and sound.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

#include "BoardLayout.h"
#include "PieceSetFiles.h"

namespace media {

// Background of every piece and marker bitmap; the program makes it transparent.
inline constexpr QRgb kKey = 0xFF000000u | BOARD_KEY_RGB;
// A pixel of the key colour, whatever its alpha.
inline bool isKey(QRgb c) { return (c & 0xFFFFFF) == BOARD_KEY_RGB; }

inline constexpr int kBoardSize = 425;  // squares of 50 pixels
inline constexpr int kPieceSize = 128;  // scaled down to a tenth of the board

// Placement of a figure inside its piece image, as fractions of the image side.
// The program draws a piece image a tenth of the board wide at the top-left
// corner of its square (square = 1.176 images), so the figures sit a little right
// of and below the image centre to appear centred in the square.
inline constexpr double kFigureCentreX = 0.565;
inline constexpr double kFigureBottom = 0.97;
inline constexpr double kFigureHeight = 0.87; // the king; the others keep the font's proportions

enum class BoardKind { Wood, Marble, News, Vinyl, Flat };

struct SetStyle {
    const char* name;

    BoardKind board;
    QColor light;      // light squares (base colour of the texture)
    QColor dark;       // dark squares
    QColor frame;      // the frame around the squares
    QColor frameLine;  // the rule between frame and squares
    unsigned seed;     // texture seed

    // Pieces: both colours share one silhouette. A white figure is a light
    // body with its outline and detail lines in ink; a black figure a dark
    // body with an ink outline and light detail lines.
    QColor ink;
    QColor whiteFill, whiteFillShade;
    QColor blackFill, blackFillShade, blackLine;
    double inkWeight;     // width of the outline, fraction of the image side
    double halo;          // width of a plain halo around all figures (0: none)
    QColor haloColour;
    bool condensed;       // narrower figures
    bool flat;            // no shading gradient

    QColor marker, markerEdge; // last-move marker brackets
};

const std::vector<SetStyle>& setStyles();

// A square image of the side, transparent, to paint antialiased art on.
QImage transparentCanvas(int side);

// Small deterministic noise, so the output is the same on every run.
class Noise {
public:
    explicit Noise(unsigned seed) : seed_(seed) {}
    double value(double x, double y) const; // smooth value noise in [0, 1]
    double fbm(double x, double y, int octaves) const; // fractal sum in [0, 1]
    double hash(int x, int y) const; // lattice value in [0, 1]
private:
    unsigned seed_;
};

QImage makeBoard(const SetStyle& style);
QImage makeMarker(const SetStyle& style);
// type: 1 pawn .. 6 king; colour: 0 white, 1 black.
QImage makePiece(const SetStyle& style, int type, int colour, int size = kPieceSize);
// The same figure antialiased on a transparent background, for the pictures.
QImage makePieceArt(const SetStyle& style, int type, int colour, int size);

QImage makeSplash();
QImage makeAbout();
QImage makeIcon();

// 16-bit mono PCM samples at 44.1 kHz.
std::vector<int16_t> makeMoveSound();
bool writeWav(const QString& path, const std::vector<int16_t>& samples, int rate);

// Turns an image to 24-bit colour and saves it as BMP.
bool saveBmp(const QImage& image, const QString& path);

// Checks that every pixel is either exactly the key or clearly unlike it.
bool keyIsClean(const QImage& image, QString* why);

// A sample board of one set, composed as the program does, at board side s.
QImage composePreview(const QString& dataDir, const QString& set, int side, bool whiteAtBottom);

// Every piece and marker bitmap of every set as stored, key and all.
QImage composeSheet(const QString& dataDir);

// A piece set's folder in a data folder, ending in '/' (its files: PieceSetFiles.h).
QString setDirectory(const QString& dataDir, const QString& set);

} // namespace media

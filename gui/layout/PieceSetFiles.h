// The files of a piece set's folder: shared by the board view and the
// generator of the piece sets.
#pragma once

// The shipped sets in the Board menu's order: the folder below images/ and
// the text colour (0x00BBGGRR) that comes with the set.
struct PieceSetStyle {
    const char* folder;
    int textColour;
};
inline constexpr PieceSetStyle PieceSetStyles[6] = {
    {"wood", 0x036281},       {"marble", 0xA46F00}, {"news", 0x808000},
    {"challenger", 0xA46F00}, {"modern", 0xC0C0C0}, {"modern2", 0xA46F00},
};

inline constexpr const char* BoardBitmapName = "board.bmp";
inline constexpr const char* MovedBitmapName = "moved.bmp";
// The piece bitmaps: white pawn to king, then black (index = type - 1 + 6 * colour).
inline constexpr const char* PieceBitmapNames[12] = {
    "pawn.bmp",  "knight.bmp",  "bishop.bmp",  "rook.bmp",  "queen.bmp",  "king.bmp",
    "bpawn.bmp", "bknight.bmp", "bbishop.bmp", "brook.bmp", "bqueen.bmp", "bking.bmp",
};

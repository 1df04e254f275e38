// The main window: the game record and its move list, the command mailbox
// and the game-loop tick, the clocks and the time controls.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "types.h"

class QAction;
class QCloseEvent;
class QColorDialog;
class QFileDialog;
class QShowEvent;
class QLabel;
class QMenu;
class QPainter;
class QSoundEffect;
class QPushButton;
class QTableWidget;
class QTimer;
class QWidget;
class boardpaintbox;
class bookclass;
class startBookclass;
class ProtocolInput;
class xboard;

constexpr int HISTORY_SIZE = 1000;
constexpr int MOVE_GRID_ROWS = 500;

// Results of playing a move (PlayMove, PlayFromTo).
constexpr int PLAY_ILLEGAL = 0;    // not played; nothing changed
constexpr int PLAY_MOVED = 1;      // played; the game goes on
constexpr int PLAY_DRAWN = 2;      // played; the game ended drawn
constexpr int PLAY_CHECKMATE = 3;  // played; checkmate

// What ApplyLevel sets up.
constexpr int LEVEL_CHOSEN = 0;          // the level chosen in the time-control dialog
constexpr int LEVEL_INFINITE = 4;        // infinite time
constexpr int LEVEL_HUMAN_VS_HUMAN = 6;  // human against human

class TfrmWinRovik : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmWinRovik(QWidget* parent = nullptr);
    ~TfrmWinRovik() override;

    // ---- Game record. Invariant: 0 <= CurrentPly <= LastPly < HISTORY_SIZE and,
    // outside a worker, GameBoard.Pos equals PositionHistory[CurrentPly].
    std::vector<Position> PositionHistory;  // slot p: the position after p plies
    Position StartPosition{};               // the standard start position
    std::vector<std::string> MoveTexts;     // [p - 1]: text of the move that led to ply p
    std::vector<Move> MoveCodes;            // [p - 1]: the move that led to ply p
    int CurrentPly = 0;
    int LastPly = 0;
    int PlyOffset = 0;  // 1 when the game's first position has black to move
    int ClockStartPly = 0;
    int DisplayBoard[64];  // piece image per square (0-5 white, 6-11 black), -1 empty

    std::string AppDir;
    std::string UserDir;  // where the files the program rewrites live
    std::unique_ptr<bookclass> Book;
    std::unique_ptr<startBookclass> StartBook;

    // ---- Clocks (ms; MoveStartTick is a TickMs value).
    double WhiteUsedMs = 0;
    double BlackUsedMs = 0;
    double WhiteLeftMs = 0;
    double BlackLeftMs = 0;
    i64 MoveStartTick = 0;
    bool WhiteFlagged = false;
    bool BlackFlagged = false;

    // ---- Components.
    QTimer* Timer1;    // the game loop, 12 ms
    QTimer* tmrClock;  // the clocks, 250 ms

    QWidget* Panel3;  // the whole window content
    QWidget* Panel1;  // the board
    QWidget* Panel9;  // principal variation
    QWidget* Panel10;
    QWidget* Panel6;  // clocks
    QWidget* Panel2;  // status
    QWidget* pnlThink;
    QWidget* pnlLastMove;
    QWidget* Panel5;  // move list
    QWidget* Panel4;  // buttons

    QLabel* lblWhiteTime;
    QLabel* lblBlackTime;
    QLabel* lblStatus;
    QLabel* lblPV;
    QLabel* lblScore;
    QLabel* lblBestMove;
    QLabel* lblCurrentMove;
    QLabel* lblDepth;
    QLabel* lblLastMove;
    QLabel* lblLastScore;
    QLabel* lblLastDepth;
    QLabel* lblLastNodes;
    QLabel* lblLastTime;
    QLabel* lblLastNS;
    // Captions of the think and last-move windows.
    QLabel* Label5;   // "Think window"
    QLabel* Label1;   // "Score:"
    QLabel* Label2;   // "Best move:"
    QLabel* Label3;   // "Current move:"
    QLabel* Label4;   // "Depth:"
    QLabel* Label14;  // "Last move"
    QLabel* label22;  // "Move:"
    QLabel* label20;  // "Score:"
    QLabel* label21;  // "Depth:"
    QLabel* label12;  // "Nodes"
    QLabel* Label7;   // "Time:"
    QLabel* Label9;   // "Nodes/s:"

    QTableWidget* strMoves;

    QPushButton* btnRewind;
    QPushButton* btnStop;
    QPushButton* btnPlay;
    QPushButton* btnForward;

    QMenu* file;
    QMenu* Game1;
    QMenu* Level1;
    QMenu* Options1;
    QAction* OpenGame1;
    QAction* SaveGame1;
    QAction* SaveGameas1;
    QAction* NewGame1;
    QAction* GotoStartofGame1;
    QAction* GoToEndofGame1;
    QAction* Move1;
    QAction* Stopthinking1;
    QAction* Takeback1;
    QAction* RedoMove1;
    QAction* Autoplay;
    QAction* Personality1;
    QAction* btnCustom;
    QAction* btnInfinite;
    QAction* btnHumanvsHuman;
    QAction* btnPonder;
    QAction* btnExit;
    QMenu* View1;
    QAction* btnThinkwindow;
    QAction* btnLastMoveWindow;
    QAction* ChessClocks1;
    QAction* ShowDebugWindow1;
    QAction* TournamentMode;  // checked: no game-end message boxes
    QAction* PrincipalVariation1;
    QMenu* Board1;
    QAction* DefaultPieces;
    QAction* StonePieces;
    QAction* NewsPieces;
    QAction* ChallengerPieces;
    QAction* ModernPieces;
    QAction* Modern2Pieces;
    QAction* TextColor1;
    QAction* BackgroundColour1;
    QAction* Coordinates;
    QAction* ShowMovedPiece;  // the computer's and a loaded game's last move are marked
    QAction* Swapsides1;
    QAction* Sounds1;
    QAction* btnUseBook;
    QAction* UseHash;
    QAction* EnableBookLearning1;
    QAction* btnResign;
    QMenu* Hash1;
    QAction* btnHash1;
    QAction* btnHash2;
    QAction* btnHash3;
    QAction* btnHash4;
    QAction* btnHash5;
    QMenu* Help1;
    QAction* Contents1;
    QAction* About1;

    // The move sound; null when the file is missing or unreadable.
    QSoundEffect* MediaPlayer = nullptr;

    // ---- Posting handlers: they post a command and raise StopSearch, nothing more.
    void NewGame1Click();
    void Takeback1Click();
    void btnRewindClick();
    void btnForwardClick();
    void RedoMove1Click();
    void GoToEndofGame1Click();
    void GotoStartofGame1Click();
    void OpenGame1Click();
    void SaveGame1Click();
    void SaveGameas1Click();
    void btnPlayClick();
    void Move1Click();
    void btnStopClick();
    void Stopthinking1Click();
    void AutoplayClick();
    void btnPonderClick();

    // ---- The game loop: at most one posted command per tick, or in protocol
    // mode the received commands that can be carried out before the engine
    // is to move. In protocol mode what still waits when a tick ends (and
    // every batch the reader receives) wakes the loop at once.
    void Timer1Timer();
    // The tick's part for a posted command or a waiting protocol time value;
    // false when there was neither.
    bool RunPostedCommand();
    // The tick at once, as soon as the GUI thread is free, rather than at
    // Timer1's next beat; nothing while Timer1 is off. Safe from any thread;
    // calls made before the tick runs give one tick.
    void WakeGameLoop();

    // ---- Workers.
    void ResetGame();
    void TakeBackMove();
    void ReplayMove();
    void GoToEnd();
    void GoToStart();
    void ScrollMoveGridToCurrent();

    // The record has no slot for another ply.
    bool RecordIsFull() const;
    // For the play-move routine, before it makes a move: when the record is
    // full, says so (protocol line or message box), stops Autoplay and
    // returns true; the move must then not be played.
    bool RefuseMoveWhenRecordFull(const std::string& moveText);
    // For the play-move routine, after a legal move: CurrentPly already counts
    // it and GameBoard holds the new position. Writes the move-list cell, the
    // move's text and code and the history slot; LastPly := CurrentPly.
    void RecordPlayedMove(Move move, const std::string& san);

    // Sizes the move list's columns and the side panels for the widest texts
    // they show in their fonts, and the board's panel for the smallest window.
    void FitPanelsToFont();

    // lblStatus from the game board's position: the game's end when it has
    // ended there, else the side to move (not in protocol mode).
    void ShowPositionStatus();

    // Move-list cells by column (0 white, 1 black) and row.
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    // ---- Clocks and time controls.
    void UpdateClocks();
    void ShowClocks(double blackLeftMs, double whiteLeftMs);
    static QString FormatClockTime(double ms, bool longForm);
    void ResetClocks();
    // LEVEL_INFINITE, LEVEL_HUMAN_VS_HUMAN, or any other value for the level
    // chosen in the time-control dialog.
    void ApplyLevel(int mode);
    void tmrClockTimer();
    void btnCustomClick();
    void btnInfiniteClick();
    void btnHumanvsHumanClick();
    // Moves made by each side since the time control began.
    static void MovesPerSide(int currentPly, int clockStartPly, int* white, int* black);

    // ---- Board view. The paint box is S x S pixels, S the smaller side of
    // Panel1; the working images are made for S at every layout.
    boardpaintbox* pntBoard;
    std::string PieceSetDir;  // the piece set's directory, ending in "/"
    QImage BoardBitmap;       // board.bmp at S x S, with the coordinates
    QImage BoardBitmap2;      // board.bmp as loaded
    QImage ComposeBitmap;     // the board as shown
    QImage MovedBitmap;       // the last-move marker at piece size, key colour transparent
    QImage MovedGraphic;      // moved.bmp as loaded
    QImage PieceBitmaps[24];  // [0..11] at piece size (S / 10), key colour transparent; [12..23] as loaded
    bool WhiteAtBottom = true;
    bool Dragging = false;
    int DragFrom = 0;    // the square picked up
    int DragPiece = -1;  // its image
    int DragX = 0;       // top-left corner of the dragged image
    int DragY = 0;
    int LastMouseX = 0;
    int LastMouseY = 0;
    int LastMoveFrom = 0;  // the squares the last-move marker shows
    int LastMoveTo = 0;

    // Reads the set in PieceSetDir, then lays the board out. A file that
    // cannot be read is named in a message box; the set in use (and its
    // directory) then stays, and the result is false.
    bool LoadImages();
    void LayoutBoard();
    void BuildDisplayBoard();
    // Image imageIndex + 6 * colour at the square's place; -1 the marker.
    void DrawPiece(int square, int imageIndex, int colour);
    virtual void DrawBoard();
    void eventOnPaint(QPainter& canvas);
    // Paint-box coordinates.
    void pntBoardMouseDown(int x, int y);
    void pntBoardMouseMove(int x, int y);
    void pntBoardMouseUp(int x, int y);
    void pntBoardClick();
    void FormResize();
    void Swapsides1Click();
    void CoordinatesClick();
    // Top-left corner of a square as drawn, and the square drawn under a
    // point (-1 for none); both follow WhiteAtBottom.
    QPoint SquarePlace(int square) const;
    int SquareAtPoint(int x, int y) const;

    // ---- Personalities (Personalities.cpp).
    void Personality1Click();
    // Material sums of the game board, the start position and the record
    // from the piece values in use.
    void RecomputeMaterial();

    // ---- Settings file and option menus (Settings.cpp).
    // The settings file, in the user's folder.
    QString SettingsFile;
    QString BookFile;  // the learning book
    // The hash size last set, in megabytes; before that the menu's checked 4 MB.
    int HashSizeMB = 4;
    // Replaces both hash tables by ones of about the size asked (the power
    // of two at or above it, halved when that is more than 1 MB over). A
    // size the machine cannot hold gives the start-up table and a message.
    void SetHashSize(int megabytes, bool announce);
    void btnHash1Click();
    void btnHash2Click();
    void btnHash3Click();
    void btnHash4Click();
    // The size typed into a box.
    void btnHash5Click();
    // Option items: each inverts its check and passes it on.
    void UseHashClick();
    void btnThinkwindowClick();
    void btnLastMoveWindowClick();
    void btnUseBookClick();
    void TournamentModeClick();
    void ChessClocks1Click();
    void PrincipalVariation1Click();
    void EnableBookLearning1Click();
    void btnResignClick();
    // The close handler: asks "Save settings?" and on Yes writes the
    // settings file. False when the window stays open.
    bool FormClose();

    // ---- Piece sets and colours (PieceSets.cpp). Colours are 0x00BBGGRR.
    void DefaultPiecesClick();
    void StonePiecesClick();
    void NewsPiecesClick();
    void ChallengerPiecesClick();
    void ModernPiecesClick();
    void Modern2PiecesClick();
    // The text colour of the side panels, the move list and the line below
    // the board (the coordinates take it at the next board layout).
    void SetTextColour(int colour);
    // The background of the window and of its panels.
    void SetBackgroundColour(int colour);
    int TextColour() const;
    int BackgroundColour() const;
    void TextColor1Click();
    void BackgroundColour1Click();
    QColorDialog* ColorDialog = nullptr;  // made at first use; shared by both colour items

    // ---- Window life.
    void btnExitClick();
    void About1Click();
    void Contents1Click();
    void ShowDebugWindow1Click();
    void Sounds1Click();
    // Plays the move sound when it could be opened (the caller checks SoundsOn).
    void PlayMoveSound();
    // At exit, after the message loop: frees the hash tables, closes the help.
    void FormDestroy();

    // ---- Reached through the tick; filled in by the play-move, move-driver,
    // game-file and position code.
    virtual int PlayFromTo(int from, int to, int promotion);
    virtual void ComputerMove();
    virtual void Ponder();

    // ---- Playing a move (PlayMove.cpp). Plays entry index of GameBoard's
    // move list; the result is a PLAY_* value.
    int PlayMove(int index, bool guiUpdate, bool sendToProtocol);
    // The piece a pawn promotes to on a move made on the board (2 knight ..
    // 5 queen): the promotion dialog.
    virtual int AskPromotionPiece();
    Move LastMove = 0;  // the last move played
    // The move last refused by PlayFromTo was already answered (a protocol
    // line or a box), so the tick adds no line of its own.
    bool MoveRejectionSent = false;

    // ---- PGN games (PgnGames.cpp). The workers switch Timer1 off while they
    // run and leave PendingCommand at 0.
    QFileDialog* OpenDialog1 = nullptr;  // made at first use
    QString PgnFileName;                 // the file the game list shows
    // Worker of CMD_OPEN_GAME: a file chosen in OpenDialog1 is listed in
    // the game list; the game is reset.
    virtual void OpenGameFile();
    // Worker of CMD_LOAD_LISTED_GAME: replays the game at the list's
    // SelectedGameOffset in PgnFileName from the standard start position.
    virtual void LoadSelectedGame();
    // Worker of CMD_SAVE_GAME and CMD_SAVE_GAME_AS: appends the game up to
    // the position shown to the save dialog's file, asking for it first
    // for "save as", after a reset of its fields or without a file name.
    virtual void SaveGamePgn();
    void ShowMovedPieceClick();
    // Worker of CMD_LOAD_POSITION (FenPositions.cpp): sets up from
    // PendingPositionText or, when that is empty outside protocol mode, from
    // a file chosen in OpenDialog2. In protocol mode a failure answers
    // "tellusererror Illegal position" instead of a message box.
    virtual void LoadPosition();

    // ---- FEN positions (FenPositions.cpp).
    QAction* btnLoadFEN = nullptr;
    QAction* btnPasteClipboard = nullptr;
    QAction* SavePosition1 = nullptr;
    QFileDialog* OpenDialog2 = nullptr;  // made at first use
    QFileDialog* SaveDialog1 = nullptr;
    void btnLoadFENClick();
    void btnPasteClipboardClick();
    // The last-move marker was on when a load was posted: a load that sets
    // up no position puts it back.
    bool HighlightBeforeLoad = false;
    // Writes the game board's position to a file chosen in SaveDialog1, at once.
    void SavePosition1Click();
    // The game reset, then set up from the text: 1 set up, 0 not one king of
    // each colour, -1 refused; on 0 and -1 the board is half set up.
    int SetupFromFen(const std::string& text);

    // Book learning for one position of the game.
    virtual void LearnMove(const Position& before, Move move, double result);

    // Engine host services.
    virtual i64 TickMs();
    virtual void SendProtocolLine(const std::string& line);

    // A tick is running (the tick never runs inside itself).
    bool TickRunning() const { return InTick; }

    // ---- Protocol mode.
    // The show handler (also called without showing in protocol mode): the
    // protocol branch first, then, the first time, the settings file.
    void FormShow();
    // The protocol branch: the window's content and menus hidden, the reader
    // thread started, "feature done=1" written.
    void StartProtocolMode();
    // Where the reader thread reads; standard input when null.
    ProtocolInput* ProtocolReaderInput = nullptr;
    // For the computer's move: a "force", "result", "new" or "quit" (or the
    // end of input, or a stop signal) waits behind the command that made the
    // engine move, so the move must be neither played nor sent. The move
    // driver asks it at its start and before it plays.
    bool EngineMoveCancelled() const;
    // The tick's protocol part: carries out the received commands in order,
    // each with its posted command, until the engine is to move or none is
    // left. True when it carried out "quit" (or the end of input).
    bool CarryOutProtocolCommands();
    // While a search runs (from its message processing): a ponder search
    // ends once any command waits, the engine's own search when a cancel or
    // "?" waits, either when a stop signal came.
    void StopSearchForProtocol();
    // Where the computer's move counts its time from: the tick at which the
    // reader received the command carried out last (the move or "go"), else
    // now. Used once per received command.
    i64 MoveRequestTick();
    i64 CommandReceivedMs = 0;  // ProtocolClockMs() of that command, 0 none
    // After each protocol command: the "st" seconds into the time-control
    // dialog's seconds field and TargetTimeMs.
    void TakeProtocolSettings();
    // Before the computer's move: the peer's "time" and "otim" values go to
    // the side to move (the side the engine plays) and to the other side.
    void ApplyProtocolTimes();
    // "time" and "otim" values taken over by UpdateClocks, waiting for the
    // engine's next move (ms, 0 = none).
    double HeldEngineTimeMs = 0;
    double HeldOpponentTimeMs = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class WindowHost;

    void BuildComponents();
    void BuildMenus();
    // Reads a piece set into the images; they change only when every file was read.
    bool LoadPieceSet(const std::string& dir, std::string* failedFile);
    void OpenMoveSound();
    // Sound off, its item unchecked and disabled.
    void SoundUnavailable();
    // The cell of the move that leads to ply p, written as replay writes it.
    void WriteReplayedMoveCell(int p, bool blackMoved);
    void ClearMoveGrid();
    void SetClockLabels(const QString& text);
    // Enables or disables a timer; enabling a running timer leaves it running.
    static void SetTimerEnabled(QTimer* timer, bool enabled);
    // For an item that sets its own check mark: inverts it; the new state.
    static bool Toggled(QAction* item);
    // A worker's end: the tick runs again and the mailbox is empty.
    void FinishWorker();
    // Autoplay off, its item unchecked.
    void StopAutoplay();
    // The board and the status line for the game board's position.
    void ShowGamePosition();
    // Book learning of LearnResult for the record's moves up to the ply (the
    // first 60 at most), when learning is on.
    void LearnGame(int lastPly);

    std::unique_ptr<WindowHost> EngineLink;
    std::string LoadedSetDir;     // the set the images hold
    QPainter* Canvas = nullptr;   // on ComposeBitmap while DrawBoard composes
    bool SoundOpened = false;
    bool InTick = false;
    std::atomic<bool> WakePosted{false};
    bool CloseDeferred = false;
    bool AskingToClose = false;
    bool SettingsRead = false;
    // The settings step of the show handler; in protocol mode only the
    // engine's settings.
    void ReadSettings();
    // After Yes to "Save settings?": false, with a message, when a value
    // cannot be written (nothing is written then). A file that cannot be
    // replaced is said, and the result is true.
    bool WriteSettings();
    // The Board menu's piece set of the row (0 Wood .. 5 Modern2) checked,
    // the others not, and its directory in PieceSetDir.
    void MarkPieceSet(int row);
    // The row of the piece set checked.
    int CheckedPieceSet() const;
    // A piece-set item: the set with its colours, drawn.
    void ChoosePieceSet(int row);
    std::unique_ptr<xboard> Reader;
};

// The application's main window (nullptr outside the program's run).
extern TfrmWinRovik* frmWinRovik;

// Cell text of a white move: full-move number, separator, move text.
QString WhiteMoveCellText(int p, int plyOffset, const std::string& san);

// "White to move" or "Black to move".
QString SideToMoveText(const Position& pos);

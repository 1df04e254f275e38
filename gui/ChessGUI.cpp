#include "ChessGUI.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QShowEvent>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelection>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <stdexcept>

#include "BoardView.h"
#include "WindowLife.h"
#include "bitboard.h"
#include "book.h"
#include "dialogs/dialogparts.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "helpsystem.h"
#include "host.h"
#include "messageboxes.h"
#include "movedriver.h"
#include "rootsearch.h"
#include "search.h"
#include "startbook.h"
#include "xboard.h"

// The engine's view of the window: clock, message processing, labels and
// the protocol output.
class TfrmWinRovik::WindowHost : public EngineHost {
public:
    explicit WindowHost(TfrmWinRovik* window) : w(window) {}
    i64 TickMs() override { return w->TickMs(); }
    void ProcessMessages() override {
        QCoreApplication::processEvents();
        w->StopSearchForProtocol();
    }
    void SetThinkLabel(ThinkLabel label, const std::string& text) override {
        QLabel* target = nullptr;
        switch (label) {
            case ThinkLabel::BestMove:
                target = w->lblBestMove;
                break;
            case ThinkLabel::Depth:
                target = w->lblDepth;
                break;
            case ThinkLabel::CurrentMove:
                target = w->lblCurrentMove;
                break;
            case ThinkLabel::Score:
                target = w->lblScore;
                break;
            case ThinkLabel::PV:
                target = w->lblPV;
                break;
        }
        if (target) target->setText(QString::fromStdString(text));
    }
    void SendProtocolLine(const std::string& line) override { w->SendProtocolLine(line); }
    bool ProtocolMode() override { return ::ProtocolMode; }
    bool PostThinking() override { return ::PostThinking; }
    int CurrentPly() override { return w->CurrentPly; }
    i64 MoveStartTick() override { return w->MoveStartTick; }
    double ClockLeftMs(int side) override {
        w->UpdateClocks();
        return side == WHITE ? w->WhiteLeftMs : w->BlackLeftMs;
    }

private:
    TfrmWinRovik* w;
};

namespace {

QFrame* MakePanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    return panel;
}

}  // namespace

QString WhiteMoveCellText(int p, int plyOffset, const std::string& san) {
    const int m = p + plyOffset;
    const int number = (m - 1) / 2 + 1;
    return QString::number(number) + (m <= 18 ? ".   " : ". ") + QString::fromStdString(san);
}

TfrmWinRovik::TfrmWinRovik(QWidget* parent)
    : QMainWindow(parent),
      PositionHistory(HISTORY_SIZE),
      MoveTexts(HISTORY_SIZE),
      MoveCodes(HISTORY_SIZE, 0),
      EngineLink(std::make_unique<WindowHost>(this)) {
    std::fill(std::begin(DisplayBoard), std::end(DisplayBoard), -1);
    BuildComponents();
    BuildMenus();

    AppDir = StartupDirectory();
    UserDir = UserFilesDirectory(AppDir);
    // A shipped file that could not be copied is said once the window stands.
    QString copyFailure;
    SettingsFile = QString::fromStdString(UserFilePath(AppDir, UserDir, "Morlaquin.ini", &copyFailure));
    PieceSetDir = AppDir + "/images/wood/";
    {
        // Without its pictures the window cannot start; protocol mode shows
        // no board and does without them.
        std::string failed;
        if (LoadPieceSet(PieceSetDir, &failed))
            LayoutBoard();
        else if (!ProtocolMode)
            throw std::runtime_error(PieceSetErrorText(failed));
    }
    Panel1->installEventFilter(pntBoard);  // from now on the board follows its panel's size
    if (!ProtocolMode) OpenMoveSound();  // nothing but protocol lines may reach the interface

    BuildBoardTables();

    CurrentPly = 0;
    ClockStartPly = 0;
    LastPly = 0;
    BlackFlagged = WhiteFlagged = false;
    LastMoveHighlight = false;
    WhiteAtBottom = true;

    BuildDisplayBoard();
    TargetTimeMs = 3000.0;
    TimeControlType = TIME_PER_MOVE;
    InfiniteSearch = false;
    DrawBoard();

    ClearHashTables();
    UseHashTable = 1;
    ResetClocks();
    EngineSeedRandom(static_cast<unsigned>(std::time(nullptr)));

    {
        QString failure;
        BookFile = QString::fromStdString(UserFilePath(AppDir, UserDir, "MLBook.lib", &failure));
        Book = std::make_unique<bookclass>(QFile::encodeName(BookFile).constData());
        if (!failure.isEmpty()) copyFailure += (copyFailure.isEmpty() ? "" : "\n") + failure;
    }
    StartBook = std::make_unique<startBookclass>();
    StartBook->LoadFromPgn(AppDir + "/StartBook.pgn");
    Pondering = false;

    SetupStartPosition(&GameBoard);
    PositionHistory[0] = GameBoard.Pos;
    StartPosition = GameBoard.Pos;
    ResetGame();
    SetHelpFile(QString::fromStdString(AppDir + "/rovik.html"));

    SetEngineHost(EngineLink.get());
    SetTimerEnabled(Timer1, true);
    if (!copyFailure.isEmpty() && !ProtocolMode) ShowMessageBox(this, copyFailure, "Error");
}

TfrmWinRovik::~TfrmWinRovik() {
    Reader.reset();  // the reader thread has ended when this returns
    Timer1->stop();
    tmrClock->stop();
    SetEngineHost(nullptr);
}

// ---------------------------------------------------------------- components

void TfrmWinRovik::BuildComponents() {
    setObjectName("frmWinRovik");
    setWindowTitle("Morlaquin");
    setWindowIcon(QIcon(":/images/morlaquin.png"));
    resize(615, 558);
    CentreOnScreen(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(12);
    connect(Timer1, &QTimer::timeout, this, &TfrmWinRovik::Timer1Timer);

    tmrClock = new QTimer(this);
    tmrClock->setObjectName("tmrClock");
    tmrClock->setInterval(250);
    connect(tmrClock, &QTimer::timeout, this, &TfrmWinRovik::tmrClockTimer);

    Panel3 = new QWidget(this);
    Panel3->setObjectName("Panel3");
    setCentralWidget(Panel3);

    Panel1 = new QWidget(Panel3);
    Panel1->setObjectName("Panel1");
    Panel1->setAutoFillBackground(true);
    {
        QPalette p = Panel1->palette();
        p.setColor(QPalette::Window, Qt::black);
        Panel1->setPalette(p);
    }
    pntBoard = new boardpaintbox(this, Panel1);

    Panel9 = MakePanel(Panel3, "Panel9");
    Panel9->setFixedHeight(25);
    lblPV = MakeLabel(Panel9, "lblPV", "PV:");
    {
        auto* l = new QHBoxLayout(Panel9);
        l->setContentsMargins(6, 0, 6, 0);
        l->addWidget(lblPV);
    }

    Panel10 = new QWidget(Panel3);
    Panel10->setObjectName("Panel10");

    Panel6 = MakePanel(Panel10, "Panel6");
    lblWhiteTime = MakeLabel(Panel6, "lblWhiteTime", "00:00:00");
    lblBlackTime = MakeLabel(Panel6, "lblBlackTime", "00:00:00");
    {
        QFont f = lblWhiteTime->font();
        f.setPointSize(14);
        f.setBold(true);
        for (QLabel* l : {lblWhiteTime, lblBlackTime}) {
            l->setFont(f);
            l->setAlignment(Qt::AlignCenter);
        }
        auto* l = new QVBoxLayout(Panel6);
        l->setContentsMargins(2, 2, 2, 2);
        l->setSpacing(0);
        l->addWidget(lblWhiteTime);
        l->addWidget(lblBlackTime);
    }

    Panel2 = MakePanel(Panel10, "Panel2");
    lblStatus = MakeLabel(Panel2, "lblStatus", "White to move");
    {
        auto* l = new QHBoxLayout(Panel2);
        l->setContentsMargins(4, 2, 4, 2);
        l->addWidget(lblStatus);
    }

    // A window's title above its rows of caption and value.
    auto captionGrid = [](QWidget* panel, QLabel* title, std::initializer_list<std::pair<QLabel*, QLabel*>> rows) {
        auto* g = new QGridLayout(panel);
        g->setContentsMargins(4, 2, 4, 2);
        g->setHorizontalSpacing(4);
        g->setVerticalSpacing(0);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        g->addWidget(title, 0, 0, 1, 2);
        int r = 1;
        for (const auto& [caption, value] : rows) {
            g->addWidget(caption, r, 0);
            g->addWidget(value, r, 1);
            ++r;
        }
        g->setColumnStretch(1, 1);
    };

    pnlThink = MakePanel(Panel10, "pnlThink");
    Label5 = MakeLabel(pnlThink, "Label5", "Think window");
    Label1 = MakeLabel(pnlThink, "Label1", "Score:");
    lblScore = MakeLabel(pnlThink, "lblScore", "");
    Label2 = MakeLabel(pnlThink, "Label2", "Best move:");
    lblBestMove = MakeLabel(pnlThink, "lblBestMove", "");
    Label3 = MakeLabel(pnlThink, "Label3", "Current move:");
    lblCurrentMove = MakeLabel(pnlThink, "lblCurrentMove", "");
    Label4 = MakeLabel(pnlThink, "Label4", "Depth:");
    lblDepth = MakeLabel(pnlThink, "lblDepth", "");
    captionGrid(pnlThink, Label5,
                {{Label1, lblScore}, {Label2, lblBestMove}, {Label3, lblCurrentMove}, {Label4, lblDepth}});

    pnlLastMove = MakePanel(Panel10, "pnlLastMove");
    Label14 = MakeLabel(pnlLastMove, "Label14", "Last move");
    label22 = MakeLabel(pnlLastMove, "label22", "Move:");
    lblLastMove = MakeLabel(pnlLastMove, "lblLastMove", "");
    label20 = MakeLabel(pnlLastMove, "label20", "Score:");
    lblLastScore = MakeLabel(pnlLastMove, "lblLastScore", "");
    label21 = MakeLabel(pnlLastMove, "label21", "Depth:");
    lblLastDepth = MakeLabel(pnlLastMove, "lblLastDepth", "");
    label12 = MakeLabel(pnlLastMove, "label12", "Nodes");
    lblLastNodes = MakeLabel(pnlLastMove, "lblLastNodes", "");
    Label7 = MakeLabel(pnlLastMove, "Label7", "Time:");
    lblLastTime = MakeLabel(pnlLastMove, "lblLastTime", "");
    Label9 = MakeLabel(pnlLastMove, "Label9", "Nodes/s:");
    lblLastNS = MakeLabel(pnlLastMove, "lblLastNS", "");
    captionGrid(pnlLastMove, Label14,
                {{label22, lblLastMove},
                 {label20, lblLastScore},
                 {label21, lblLastDepth},
                 {label12, lblLastNodes},
                 {Label7, lblLastTime},
                 {Label9, lblLastNS}});

    Panel5 = MakePanel(Panel10, "Panel5");
    strMoves = new QTableWidget(MOVE_GRID_ROWS, 2, Panel5);
    strMoves->setObjectName("strMoves");
    strMoves->horizontalHeader()->hide();
    strMoves->verticalHeader()->hide();
    strMoves->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    strMoves->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    strMoves->setShowGrid(false);
    strMoves->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strMoves->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    strMoves->setEditTriggers(QAbstractItemView::NoEditTriggers);
    strMoves->setSelectionMode(QAbstractItemView::ContiguousSelection);
    strMoves->setAutoScroll(false);
    strMoves->setWordWrap(false);
    {
        QFont f = strMoves->font();
        f.setPointSize(8);
        strMoves->setFont(f);
    }
    for (int row = 0; row < MOVE_GRID_ROWS; ++row)
        for (int col = 0; col < 2; ++col) strMoves->setItem(row, col, new QTableWidgetItem(" "));
    {
        auto* l = new QVBoxLayout(Panel5);
        l->setContentsMargins(1, 1, 1, 1);
        l->addWidget(strMoves);
    }

    Panel4 = MakePanel(Panel10, "Panel4");
    auto button = [this](const char* name, QStyle::StandardPixmap icon, const char* hint) {
        auto* b = new QPushButton(Panel4);
        b->setObjectName(name);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    btnRewind = button("btnRewind", QStyle::SP_MediaSeekBackward, "undo move");
    btnStop = button("btnStop", QStyle::SP_MediaStop, "stop thinking");
    btnPlay = button("btnPlay", QStyle::SP_MediaPlay, "move");
    btnForward = button("btnForward", QStyle::SP_MediaSeekForward, "redo move");
    connect(btnRewind, &QPushButton::clicked, this, &TfrmWinRovik::btnRewindClick);
    connect(btnStop, &QPushButton::clicked, this, &TfrmWinRovik::btnStopClick);
    connect(btnPlay, &QPushButton::clicked, this, &TfrmWinRovik::btnPlayClick);
    connect(btnForward, &QPushButton::clicked, this, &TfrmWinRovik::btnForwardClick);
    {
        auto* l = new QHBoxLayout(Panel4);
        l->setContentsMargins(2, 2, 2, 2);
        l->setSpacing(2);
        for (QPushButton* b : {btnRewind, btnStop, btnPlay, btnForward}) l->addWidget(b);
    }

    {
        auto* l = new QVBoxLayout(Panel10);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addWidget(Panel6);
        l->addWidget(Panel2);
        l->addWidget(pnlThink);
        l->addWidget(pnlLastMove);
        l->addWidget(Panel5, 1);
        l->addWidget(Panel4);
    }
    {
        auto* top = new QHBoxLayout;
        top->setContentsMargins(0, 0, 0, 0);
        top->setSpacing(0);
        top->addWidget(Panel1, 1);
        top->addWidget(Panel10);
        auto* l = new QVBoxLayout(Panel3);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addLayout(top, 1);
        l->addWidget(Panel9);
    }
    FitPanelsToFont();
    // A resize that shows fewer or more rows keeps the current move in view.
    connect(strMoves->verticalScrollBar(), &QScrollBar::rangeChanged, this, &TfrmWinRovik::ScrollMoveGridToCurrent);
}

void TfrmWinRovik::BuildMenus() {
    // Items whose handlers set their own check mark: the automatic toggle of
    // a checkable action is undone before the handler runs, so a click and a
    // direct call of the handler behave alike.
    auto item = [this](QMenu* menu, QAction*& action, const char* name, const QString& caption,
                       void (TfrmWinRovik::*handler)(), const char* shortcut = nullptr, bool checkable = false) {
        action = menu->addAction(caption);
        action->setObjectName(name);
        if (shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        action->setCheckable(checkable);
        QAction* a = action;
        connect(a, &QAction::triggered, this, [this, a, handler, checkable] {
            if (checkable) a->setChecked(!a->isChecked());
            (this->*handler)();
        });
    };

    file = menuBar()->addMenu("&File");
    file->setObjectName("file");
    item(file, OpenGame1, "OpenGame1", "&Load Game...", &TfrmWinRovik::OpenGame1Click, "Ctrl+O");
    item(file, btnLoadFEN, "btnLoadFEN", "Load  &Position...", &TfrmWinRovik::btnLoadFENClick);
    item(file, btnPasteClipboard, "btnPasteClipboard", "Paste Position From &Clipboard",
         &TfrmWinRovik::btnPasteClipboardClick, "Ctrl+V");
    file->addSeparator()->setObjectName("N4");
    item(file, SaveGame1, "SaveGame1", "&Save Game", &TfrmWinRovik::SaveGame1Click, "Ctrl+S");
    item(file, SaveGameas1, "SaveGameas1", "Save Game &As...", &TfrmWinRovik::SaveGameas1Click);
    item(file, SavePosition1, "SavePosition1", "Save P&osition...", &TfrmWinRovik::SavePosition1Click);
    file->addSeparator()->setObjectName("N7");
    item(file, btnExit, "btnExit", "E&xit", &TfrmWinRovik::btnExitClick);

    Game1 = menuBar()->addMenu("&Game");
    Game1->setObjectName("Game1");
    item(Game1, NewGame1, "NewGame1", "&New Game...", &TfrmWinRovik::NewGame1Click);
    item(Game1, GotoStartofGame1, "GotoStartofGame1", "Go to St&art of Game", &TfrmWinRovik::GotoStartofGame1Click);
    item(Game1, GoToEndofGame1, "GoToEndofGame1", "Go to &End of Game", &TfrmWinRovik::GoToEndofGame1Click);
    Game1->addSeparator()->setObjectName("N5");
    item(Game1, Move1, "Move1", "&Move", &TfrmWinRovik::Move1Click, "Ctrl+M");
    item(Game1, Stopthinking1, "Stopthinking1", "&Stop Thinking", &TfrmWinRovik::Stopthinking1Click, "Ctrl+T");
    item(Game1, Takeback1, "Takeback1", "&Undo Move", &TfrmWinRovik::Takeback1Click, "Ctrl+Z");
    item(Game1, RedoMove1, "RedoMove1", "&Redo Move", &TfrmWinRovik::RedoMove1Click, "Ctrl+R");
    Game1->addSeparator()->setObjectName("N3");
    item(Game1, Autoplay, "Autoplay", "&Autoplay", &TfrmWinRovik::AutoplayClick, "Ctrl+A", true);

    View1 = menuBar()->addMenu("&View");
    View1->setObjectName("View1");
    item(View1, btnThinkwindow, "btnThinkwindow", "&Think Window", &TfrmWinRovik::btnThinkwindowClick, nullptr, true);
    btnThinkwindow->setChecked(true);
    item(View1, btnLastMoveWindow, "btnLastMoveWindow", "&Last Move Window", &TfrmWinRovik::btnLastMoveWindowClick,
         nullptr, true);
    btnLastMoveWindow->setChecked(true);
    item(View1, ChessClocks1, "ChessClocks1", "Chess &Clocks", &TfrmWinRovik::ChessClocks1Click, nullptr, true);
    ChessClocks1->setChecked(true);
    item(View1, ShowDebugWindow1, "ShowDebugWindow1", "&Debug Window", &TfrmWinRovik::ShowDebugWindow1Click,
         nullptr, true);
    ShowDebugWindow1->setEnabled(false);
    ShowDebugWindow1->setVisible(false);
    item(View1, TournamentMode, "TournamentMode", "Tournament Mode", &TfrmWinRovik::TournamentModeClick, nullptr,
         true);
    TournamentMode->setEnabled(false);
    TournamentMode->setVisible(false);
    item(View1, PrincipalVariation1, "PrincipalVariation1", "Principal Variation",
         &TfrmWinRovik::PrincipalVariation1Click, nullptr, true);
    PrincipalVariation1->setChecked(true);

    Level1 = menuBar()->addMenu("Level");
    Level1->setObjectName("Level1");
    item(Level1, Personality1, "Personality1", "Choose &Personality", &TfrmWinRovik::Personality1Click);
    Level1->addSeparator()->setObjectName("N1");
    item(Level1, btnCustom, "btnCustom", "&Setup Clocks", &TfrmWinRovik::btnCustomClick, nullptr, true);
    item(Level1, btnInfinite, "btnInfinite", "&Infinite Time", &TfrmWinRovik::btnInfiniteClick, nullptr, true);
    Level1->addSeparator()->setObjectName("N9");
    item(Level1, btnHumanvsHuman, "btnHumanvsHuman", "H&uman vs Human", &TfrmWinRovik::btnHumanvsHumanClick,
         nullptr, true);

    Board1 = menuBar()->addMenu("Board");
    Board1->setObjectName("Board1");
    item(Board1, DefaultPieces, "DefaultPieces", "Wood", &TfrmWinRovik::DefaultPiecesClick, nullptr, true);
    DefaultPieces->setChecked(true);
    item(Board1, StonePieces, "StonePieces", "Marble", &TfrmWinRovik::StonePiecesClick, nullptr, true);
    item(Board1, NewsPieces, "NewsPieces", "News", &TfrmWinRovik::NewsPiecesClick, nullptr, true);
    item(Board1, ChallengerPieces, "ChallengerPieces", "Challenger", &TfrmWinRovik::ChallengerPiecesClick, nullptr,
         true);
    item(Board1, ModernPieces, "ModernPieces", "Modern", &TfrmWinRovik::ModernPiecesClick, nullptr, true);
    item(Board1, Modern2Pieces, "Modern2Pieces", "Modern2", &TfrmWinRovik::Modern2PiecesClick, nullptr, true);
    Board1->addSeparator()->setObjectName("N6");
    item(Board1, TextColor1, "TextColor1", "&Font Colour", &TfrmWinRovik::TextColor1Click);
    item(Board1, BackgroundColour1, "BackgroundColour1", "&Background Colour", &TfrmWinRovik::BackgroundColour1Click);
    Board1->addSeparator()->setObjectName("N10");
    item(Board1, Coordinates, "Coordinates", "Show &Coordinates", &TfrmWinRovik::CoordinatesClick, nullptr, true);
    Coordinates->setChecked(true);
    item(Board1, ShowMovedPiece, "ShowMovedPiece", "Show &Moved Piece", &TfrmWinRovik::ShowMovedPieceClick, nullptr,
         true);
    ShowMovedPiece->setChecked(true);
    item(Board1, Swapsides1, "Swapsides1", "S&wap Sides", &TfrmWinRovik::Swapsides1Click, nullptr, true);

    Options1 = menuBar()->addMenu("Options");
    Options1->setObjectName("Options1");
    item(Options1, Sounds1, "Sounds1", "&Sounds", &TfrmWinRovik::Sounds1Click, nullptr, true);
    Sounds1->setChecked(true);
    Options1->addSeparator()->setObjectName("N2");
    item(Options1, btnUseBook, "btnUseBook", "Use Opening &Book", &TfrmWinRovik::btnUseBookClick, nullptr, true);
    btnUseBook->setChecked(true);
    item(Options1, UseHash, "UseHash", "Use &Hash Table", &TfrmWinRovik::UseHashClick, nullptr, true);
    UseHash->setChecked(true);
    item(Options1, btnPonder, "btnPonder", "&Ponder", &TfrmWinRovik::btnPonderClick, nullptr, true);
    btnPonder->setChecked(true);
    Options1->addSeparator()->setObjectName("N8");
    item(Options1, EnableBookLearning1, "EnableBookLearning1", "Enable Book Learning",
         &TfrmWinRovik::EnableBookLearning1Click, nullptr, true);
    EnableBookLearning1->setChecked(true);
    item(Options1, btnResign, "btnResign", "Enable Resigning", &TfrmWinRovik::btnResignClick, nullptr, true);
    btnResign->setChecked(true);

    Hash1 = menuBar()->addMenu("&Hash Table");
    Hash1->setObjectName("Hash1");
    item(Hash1, btnHash1, "btnHash1", "&4 MB", &TfrmWinRovik::btnHash1Click, nullptr, true);
    btnHash1->setChecked(true);
    item(Hash1, btnHash2, "btnHash2", "&8 MB", &TfrmWinRovik::btnHash2Click, nullptr, true);
    item(Hash1, btnHash3, "btnHash3", "&16 MB", &TfrmWinRovik::btnHash3Click, nullptr, true);
    item(Hash1, btnHash4, "btnHash4", "&32 MB", &TfrmWinRovik::btnHash4Click, nullptr, true);
    item(Hash1, btnHash5, "btnHash5", "&Custom...", &TfrmWinRovik::btnHash5Click, nullptr, true);

    Help1 = menuBar()->addMenu("Help");
    Help1->setObjectName("Help1");
    item(Help1, Contents1, "Contents1", "&Contents", &TfrmWinRovik::Contents1Click);
    item(Help1, About1, "About1", "&About...", &TfrmWinRovik::About1Click);
}

void TfrmWinRovik::SetTimerEnabled(QTimer* timer, bool enabled) {
    if (!enabled)
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

bool TfrmWinRovik::Toggled(QAction* item) {
    item->setChecked(!item->isChecked());
    return item->isChecked();
}

void TfrmWinRovik::FinishWorker() {
    SetTimerEnabled(Timer1, true);
    PendingCommand = 0;
}

void TfrmWinRovik::StopAutoplay() {
    AutoPlay = false;
    Autoplay->setChecked(false);
}

// ---------------------------------------------------------- posting handlers

namespace {

// A move-list command: the last-move marker goes; the command waits for the
// user's turn.
void PostOnHumansTurn(int command) {
    LastMoveHighlight = false;
    if (HumanToMove) PostCommand(command);
}

}  // namespace

void TfrmWinRovik::NewGame1Click() {
    if (AskQuestion(this, "Do you want to start a new game?", "New Game", BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    PostCommand(CMD_NEW_GAME);
    LastMoveHighlight = false;
    ResetFields = 1;
}

void TfrmWinRovik::Takeback1Click() { PostOnHumansTurn(CMD_UNDO); }

void TfrmWinRovik::btnRewindClick() { Takeback1Click(); }

void TfrmWinRovik::btnForwardClick() { PostOnHumansTurn(CMD_REDO); }

void TfrmWinRovik::RedoMove1Click() { btnForwardClick(); }

void TfrmWinRovik::GoToEndofGame1Click() { PostOnHumansTurn(CMD_GOTO_END); }

void TfrmWinRovik::GotoStartofGame1Click() { PostOnHumansTurn(CMD_GOTO_START); }

void TfrmWinRovik::OpenGame1Click() {
    LastMoveHighlight = false;
    PostCommand(CMD_OPEN_GAME);
}

void TfrmWinRovik::SaveGame1Click() { PostCommand(CMD_SAVE_GAME); }

void TfrmWinRovik::SaveGameas1Click() { PostCommand(CMD_SAVE_GAME_AS); }

void TfrmWinRovik::btnPlayClick() {
    if (!HumanToMove) return;
    HumanToMove = false;
    StopSearch = true;
}

void TfrmWinRovik::Move1Click() { btnPlayClick(); }

void TfrmWinRovik::btnStopClick() {
    if (Pondering) return;
    StopSearch = true;
}

void TfrmWinRovik::Stopthinking1Click() { btnStopClick(); }

void TfrmWinRovik::AutoplayClick() {
    if (HumanVsHuman) return;
    if (Pondering) StopSearch = true;
    AutoPlay = Toggled(Autoplay);
}

void TfrmWinRovik::btnPonderClick() {
    PonderEnabled = Toggled(btnPonder);
    if (!PonderEnabled) StopSearch = true;
}

// ------------------------------------------------------------------ the tick

void TfrmWinRovik::Timer1Timer() {
    // A tick that arrives while one runs (a search or a modal box processes
    // events) returns at once, as does every tick during a ponder search.
    if (InTick || Pondering) return;
    InTick = true;

    [this] {
        if (ProtocolMode && StopSignalled()) PendingCommand = CMD_QUIT;
        if (RunPostedCommand()) return;
        if (ProtocolMode && CarryOutProtocolCommands()) return;
        if (!HumanToMove || AutoPlay) {
            if (RecordIsFull()) {
                RefuseMoveWhenRecordFull("");
                HumanToMove = true;
                return;
            }
            ApplyProtocolTimes();
            ComputerMove();
        } else if (PonderEnabled && CurrentPly != 0 && !HumanVsHuman) {
            Ponder();
        }
    }();

    InTick = false;
    // In protocol mode what waits goes on at once: received commands, a
    // command this tick left for the next, the engine's reply to a move.
    if (ProtocolMode && (PendingCommand != 0 || !HumanToMove || ProtocolCommandsWaiting())) WakeGameLoop();
    if (CloseDeferred) {
        CloseDeferred = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void TfrmWinRovik::WakeGameLoop() {
    if (WakePosted.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            WakePosted = false;
            // A tick under way (a search processing events) returns at once;
            // it looks for what waits when it ends.
            if (Timer1->isActive()) Timer1Timer();
        },
        Qt::QueuedConnection);
}

bool TfrmWinRovik::RunPostedCommand() {
    const int command = PendingCommand;
    if (command == CMD_QUIT) {
        if (ProtocolMode) {
            SetTimerEnabled(Timer1, false);
            PendingCommand = 0;
            close();
        }
        StopSearch = true;
        return true;
    }
    if (command == CMD_HIDE_WINDOW) {
        setVisible(false);
        PendingCommand = 0;
        return true;
    }
    if (XboardTimeMs != 0.0) {
        UpdateClocks();
        return true;
    }
    switch (command) {
        case 0:
            return false;
        case CMD_USER_MOVE: {
            PendingCommand = 0;
            const int r = PlayFromTo(UserMoveFrom, UserMoveTo, UserMovePromotion);
            if (r == PLAY_MOVED && !HumanVsHuman)
                HumanToMove = false;
            else if (r == PLAY_ILLEGAL && !MoveRejectionSent)
                SendProtocolLine("Illegal move!");
            break;
        }
        case CMD_UNDO:
            TakeBackMove();
            break;
        case CMD_UNDO_TWO:
            TakeBackMove();
            TakeBackMove();
            break;
        case CMD_REDO:
            ReplayMove();
            break;
        case CMD_GOTO_END:
            GoToEnd();
            break;
        case CMD_GOTO_START:
            GoToStart();
            break;
        case CMD_NEW_GAME:
            ResetGame();
            break;
        case CMD_OPEN_GAME:
            OpenGameFile();
            break;
        case CMD_LOAD_LISTED_GAME:
            LoadSelectedGame();
            break;
        case CMD_LOAD_POSITION:
            LoadPosition();
            break;
        case CMD_SAVE_GAME:
        case CMD_SAVE_GAME_AS:
            SaveGamePgn();
            break;
        default:
            // A code that names no command would otherwise block the
            // mailbox for good.
            PendingCommand = 0;
            break;
    }
    return true;
}

void TfrmWinRovik::closeEvent(QCloseEvent* event) {
    // Never close under a running tick (a search, a worker or its box):
    // stop the search and close once the tick has returned.
    if (InTick || Pondering) {
        StopSearch = true;
        CloseDeferred = true;
        event->ignore();
        return;
    }
    // A close asked for while the question is up is that close.
    if (AskingToClose) {
        event->ignore();
        return;
    }
    AskingToClose = true;
    const bool closing = FormClose();
    AskingToClose = false;
    if (!closing) {
        event->ignore();
        return;
    }
    SetTimerEnabled(Timer1, false);
    SetTimerEnabled(tmrClock, false);
    event->accept();
    // The hidden window of protocol mode is no last visible window whose
    // closing would end the application.
    if (ProtocolMode) QCoreApplication::quit();
}

void TfrmWinRovik::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

// ------------------------------------------------------------------- workers

void TfrmWinRovik::ResetGame() {
    // The game as played, also when the user has gone back in it.
    if (LearnResult >= 0) LearnGame(LastPly);
    LearnResult = -1.0;
    PlyOffset = CurrentPly = ClockStartPly = LastPly = 0;
    ComputerColour = 1;
    GameBoard.Pos = StartPosition;
    PositionHistory[0] = StartPosition;
    ClearLastScores();
    StopAutoplay();
    BlackFlagged = WhiteFlagged = false;
    ClearHashTables();
    StaleHashCount = 0;
    SaveGame1->setEnabled(true);
    SaveGameas1->setEnabled(true);
    PositionSetUp = 0;
    ClearMoveGrid();
    BuildDisplayBoard();
    DrawBoard();
    PendingCommand = 0;
    ResetClocks();
    UpdateClocks();

    lblPV->setText("PV:");
    for (QLabel* l : {lblLastTime, lblLastScore, lblLastNS, lblLastNodes, lblLastMove, lblLastDepth, lblScore,
                      lblDepth, lblCurrentMove, lblBestMove})
        l->setText(QString());
    lblStatus->setText("White to move");
}

void TfrmWinRovik::TakeBackMove() {
    if (CurrentPly > 0) {
        const int m = CurrentPly + PlyOffset;
        // Black to move: the move taken back was white's.
        SetCell(GameBoard.Pos.SideToMove == BLACK ? 0 : 1, (m - 1) / 2, " ");
        --CurrentPly;
        GameBoard.Pos = PositionHistory[CurrentPly];
        ShowGamePosition();
        StaleHashCount = 100;
        SetTimerEnabled(tmrClock, true);
        ClearLastScores();
    }
    PendingCommand = 0;
}

void TfrmWinRovik::WriteReplayedMoveCell(int p, bool blackMoved) {
    const int row = (p + PlyOffset - 1) / 2;
    if (blackMoved)
        SetCell(1, row, QString::fromStdString(MoveTexts[p - 1]));
    else
        SetCell(0, row, WhiteMoveCellText(p, PlyOffset, MoveTexts[p - 1]));
}

void TfrmWinRovik::ReplayMove() {
    if (CurrentPly < LastPly) {
        const int p = CurrentPly + 1;
        WriteReplayedMoveCell(p, GameBoard.Pos.SideToMove == BLACK);
        CurrentPly = p;
        GameBoard.Pos = PositionHistory[CurrentPly];
        ClearLastScores();
        ShowGamePosition();
    }
    PendingCommand = 0;
}

void TfrmWinRovik::GoToEnd() {
    while (CurrentPly < LastPly) {
        WriteReplayedMoveCell(CurrentPly + 1, GameBoard.Pos.SideToMove == BLACK);
        ++CurrentPly;
        GameBoard.Pos = PositionHistory[CurrentPly];
    }
    ShowGamePosition();
    PendingCommand = 0;
}

void TfrmWinRovik::GoToStart() {
    CurrentPly = 0;
    GameBoard.Pos = PositionHistory[0];
    StopAutoplay();
    ClearMoveGrid();
    ShowGamePosition();
    if (RunsOnClocks(TimeControlType)) {
        BlackFlagged = WhiteFlagged = false;
        ResetClocks();
        UpdateClocks();
    }
    PendingCommand = 0;
}

void TfrmWinRovik::ScrollMoveGridToCurrent() {
    const int row = (CurrentPly - 1) / 2;  // truncated toward zero: row 0 at ply 0
    const int col = std::max(strMoves->currentColumn(), 0);
    strMoves->setCurrentCell(row, col);
    // The rows below are empty: the list shows as many moves before as fit.
    strMoves->scrollTo(strMoves->model()->index(row, col), QAbstractItemView::PositionAtBottom);
    const QItemSelection far(strMoves->model()->index(300, 0), strMoves->model()->index(301, 1));
    strMoves->selectionModel()->select(far, QItemSelectionModel::ClearAndSelect);
}

void TfrmWinRovik::ClearMoveGrid() {
    for (int row = 0; row < MOVE_GRID_ROWS; ++row) {
        SetCell(0, row, " ");
        SetCell(1, row, " ");
    }
}

QString TfrmWinRovik::Cell(int col, int row) const {
    if (col < 0 || col > 1 || row < 0 || row >= MOVE_GRID_ROWS) return QString();
    const QTableWidgetItem* it = strMoves->item(row, col);
    return it ? it->text() : QString();
}

void TfrmWinRovik::SetCell(int col, int row, const QString& text) {
    if (col < 0 || col > 1 || row < 0 || row >= MOVE_GRID_ROWS) return;
    if (QTableWidgetItem* it = strMoves->item(row, col)) it->setText(text);
}

bool TfrmWinRovik::RecordIsFull() const { return CurrentPly >= HISTORY_SIZE - 1; }

bool TfrmWinRovik::RefuseMoveWhenRecordFull(const std::string& moveText) {
    if (!RecordIsFull()) return false;
    StopAutoplay();
    if (ProtocolMode) {
        if (moveText.empty())
            SendProtocolLine("tellusererror The game record is full: no more moves can be played");
        else
            SendProtocolLine("Illegal move (game record full): " + moveText);
    } else {
        ShowMessageBox(this, "The game record is full: no more moves can be played.", "Morlaquin says:");
    }
    return true;
}

void TfrmWinRovik::RecordPlayedMove(Move move, const std::string& san) {
    if (CurrentPly < 1 || CurrentPly >= HISTORY_SIZE) return;
    const int m = CurrentPly + PlyOffset;
    const int row = (m - 1) / 2;
    if (m == 2 && PlyOffset == 1) SetCell(0, 0, "1.");
    if (GameBoard.Pos.SideToMove == BLACK)  // white moved
        SetCell(0, row, WhiteMoveCellText(CurrentPly, PlyOffset, san));
    else
        SetCell(1, row, QString::fromStdString(san));
    MoveTexts[CurrentPly - 1] = san;
    MoveCodes[CurrentPly - 1] = move;
    LastPly = CurrentPly;
    PositionHistory[CurrentPly] = GameBoard.Pos;
}

// ---------------------------------------------------------------- board view

void TfrmWinRovik::ShowGamePosition() {
    BuildDisplayBoard();
    DrawBoard();
    ShowPositionStatus();
}

void TfrmWinRovik::BuildDisplayBoard() {
    std::fill(std::begin(DisplayBoard), std::end(DisplayBoard), -1);
    for (int sq = 0; sq < 64; ++sq)
        for (int type = PAWN; type <= KING; ++type)
            for (int colour = WHITE; colour <= BLACK; ++colour)
                if (GameBoard.Pos.Pieces[colour][type] & (Bitboard{1} << sq))
                    DisplayBoard[sq] = type - 1 + 6 * colour;
}

// ------------------------------------------- reached through the tick, later

void TfrmWinRovik::LearnGame(int lastPly) {
    const int plies = BookLearningEnabled ? std::min(lastPly, 60) : 0;
    for (int i = 0; i < plies; ++i) LearnMove(PositionHistory[i], MoveCodes[i], LearnResult);
    if (!Book) return;
    // The game's records go to the disk together. A rewrite that failed left
    // its record as it was; said once a game.
    Book->FinishLearning();
    if (const std::string reason = Book->TakeWriteError(); !reason.empty() && !ProtocolMode)
        ShowMessageBox(this,
                       "The learning book " + BookFile + " could not be written:\n" +
                           QString::fromLocal8Bit(reason),
                       "Error");
}

void TfrmWinRovik::LearnMove(const Position& before, Move move, double result) {
    if (!Book) return;
    Position copy = before;
    Book->Learn(&copy, static_cast<short>(move), static_cast<float>(result));
}

// --------------------------------------------------------------- engine host

i64 TfrmWinRovik::TickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TfrmWinRovik::SendProtocolLine(const std::string& line) { ::SendProtocolLine(line); }

// The main window's option items, its hash size, and the settings file:
// read when the window is first shown, written when it is closed.
#include <QAction>
#include <QComboBox>
#include <QTabWidget>

#include <iterator>
#include <utility>

#include "ChessGUI.h"
#include "bitboard.h"
#include "dialogs/About.h"
#include "dialogs/LEVELS.h"
#include "dialogs/Personality.h"
#include "dialogs/saveGame.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "inifile.h"
#include "messageboxes.h"

namespace {

constexpr int DEFAULT_TEXT_COLOUR = 0x808000;
// The sizes of the Hash Table menu's items before "Custom...", in MB.
constexpr int MENU_HASH_MB[] = {4, 8, 16, 32};
constexpr int DEFAULT_HASH_MB = MENU_HASH_MB[0];

// Level/Type as the file holds it.
constexpr int TYPE_INFINITE = 4;
constexpr int TYPE_SECONDS = 5;
constexpr int TYPE_BLITZ = 6;
constexpr int TYPE_TOURNAMENT = 7;
constexpr int TYPE_HUMAN_VS_HUMAN = 8;

// The time-control fields in the dialog's page order, where the file keeps
// them and their default there.
struct LevelField {
    const char* section;
    const char* key;
    QComboBox* TfrmLevels::*box;
    int readDefault;
};
const LevelField LevelFields[] = {
    {"Seconds", "Seconds", &TfrmLevels::cboxSecs1, 3}, {"Blitz", "Minutes", &TfrmLevels::cboxBlitz1, 5},
    {"Blitz", "Bonus", &TfrmLevels::cboxBlitz2, 5},    {"Tournament", "Moves", &TfrmLevels::cboxTourn1, 5},
    {"Tournament", "Time", &TfrmLevels::cboxTourn2, 5}, {"Tournament", "Rest", &TfrmLevels::cboxTourn3, 5},
};
// The fields of the Seconds/Move, Blitz and Tournament pages.
constexpr int FIELDS_ON_PAGE[] = {1, 2, 3};

}  // namespace

// ------------------------------------------------------------ reading

void TfrmWinRovik::ReadSettings() {
    if (SettingsRead) return;
    SettingsRead = true;
    // A file that is missing or cannot be read gives every default.
    IniDocument ini;
    ini.Load(SettingsFile);
    auto flag = [&ini](const char* key, bool def) { return ini.ReadBool("Settings", key, def); };

    const int board = ini.ReadInteger("Settings", "Board", 1);
    SetTextColour(ini.ReadInteger("Settings", "Font", DEFAULT_TEXT_COLOUR));
    SetBackgroundColour(ini.ReadInteger("Settings", "Background", 0));
    const int hashSize = ini.ReadInteger("Settings", "HashSize", DEFAULT_HASH_MB);
    const bool ponder = flag("Ponder", true), openingBook = flag("OpeningBook", true), sounds = flag("Sounds", true),
               coordinates = flag("Coordinates", true), movedPiece = flag("MovedPiece", true),
               swapSides = flag("SwapSides", false), useHash = flag("UseHash", true),
               showThink = flag("ShowThink", true), showMove = flag("ShowMove", true),
               showClock = flag("ShowClock", true);
    BookLearningEnabled = flag("EnableLearning", true);
    ResignEnabled = flag("EnableResigning", true);

    TfrmPersonality* personality = PersonalityDialog(this);
    personality->StartUp(ini.ReadString("Level", "Personality", "Morlaquin"));
    if (!ProtocolMode && !personality->ListProblem.isEmpty())
        ShowMessageBox(this, "No personality could be read.\n" + personality->ListProblem + ".", "Error");
    personality->ApplySettings();
    RecomputeMaterial();
    setWindowTitle("Personality: " + personality->cboxName->currentText());

    if (!ProtocolMode) {
        if (!showThink) {
            btnThinkwindow->setChecked(false);
            pnlThink->hide();
        }
        if (!showMove) {
            btnLastMoveWindow->setChecked(false);
            pnlLastMove->hide();
        }
        if (!showClock) {
            Panel6->hide();
            ChessClocks1->setChecked(false);
        }
        if (swapSides) {
            Swapsides1->setChecked(true);
            WhiteAtBottom = !WhiteAtBottom;
        }
        if (board >= 2 && board <= 6) MarkPieceSet(board - 1);
        if (!sounds) {
            Sounds1->setChecked(false);
            SoundsOn = false;
        }
        if (!BookLearningEnabled) EnableBookLearning1->setChecked(false);
        btnResign->setChecked(ResignEnabled);
        if (!coordinates) Coordinates->setChecked(false);
        if (!movedPiece) ShowMovedPiece->setChecked(false);
        if (!LoadImages()) MarkPieceSet(0);  // the set that could not be read was said; Wood stays
        DrawBoard();

        TfrmLevels* levels = LevelsDialog(this);
        for (const LevelField& f : LevelFields)
            (levels->*f.box)->setEditText(QString::number(ini.ReadInteger(f.section, f.key, f.readDefault)));
        levels->KeepValues();  // what the dialog's Cancel goes back to
        const int type = ini.ReadInteger("Level", "Type", 1);
        if (type == TYPE_INFINITE) {
            ApplyLevel(LEVEL_INFINITE);
        } else if (type == TYPE_HUMAN_VS_HUMAN) {
            ApplyLevel(LEVEL_HUMAN_VS_HUMAN);
        } else if (type >= TYPE_SECONDS && type <= TYPE_TOURNAMENT) {
            QWidget* const pages[] = {levels->Sheet1, levels->Sheet2, levels->Sheet3};
            levels->pcontrLevel->setCurrentWidget(pages[type - TYPE_SECONDS]);
            ApplyLevel(LEVEL_CHOSEN);
        }
    }

    // After the level, which switches pondering on.
    if (!ponder) {
        btnPonder->setChecked(false);
        PonderEnabled = false;
    }
    if (!useHash) {
        UseHash->setChecked(false);
        UseHashTable = 0;
    }
    if (!openingBook) {
        btnUseBook->setChecked(false);
        UseBook = false;
    }
    SetHashSize(hashSize, false);

    // The first save proposes a file and the player names.
    ResetFields = 1;
    EngineIsBlack = 1;
    if (frmSaveGame) frmSaveGame->VersionField = QString::fromStdString(VersionText);
    if (AboutBox) AboutBox->VersionField = QString::fromStdString(VersionText);
}

// ------------------------------------------------------------ writing

bool TfrmWinRovik::FormClose() {
    // Protocol mode writes nothing; a close already under way asks nothing.
    if (ProtocolMode || PendingCommand == CMD_QUIT) return true;
    SetTimerEnabled(Timer1, false);
    const BoxAnswer answer = AskQuestion(this, "Save settings?", "Exit", BoxButtons::YesNoCancel);
    if ((answer != BoxAnswer::Yes && answer != BoxAnswer::No) || (answer == BoxAnswer::Yes && !WriteSettings())) {
        SetTimerEnabled(Timer1, true);
        return false;
    }
    PostCommand(CMD_QUIT);
    return true;
}

bool TfrmWinRovik::WriteSettings() {
    TfrmLevels* levels = LevelsDialog(this);
    const QWidget* page = levels->pcontrLevel->currentWidget();
    const int type = btnInfinite->isChecked()       ? TYPE_INFINITE
                     : btnHumanvsHuman->isChecked() ? TYPE_HUMAN_VS_HUMAN
                     : page == levels->Sheet1       ? TYPE_SECONDS
                     : page == levels->Sheet2       ? TYPE_BLITZ
                                                    : TYPE_TOURNAMENT;
    const bool withLevel = type != TYPE_INFINITE && type != TYPE_HUMAN_VS_HUMAN;

    // Every value is checked before the file changes.
    int values[std::size(LevelFields)] = {};
    if (withLevel) {
        int* next = values;
        const QWidget* const pages[] = {levels->Sheet1, levels->Sheet2, levels->Sheet3};
        for (int p = 0; p < 3; ++p) {
            QString message;
            if (!levels->ReadPage(pages[p], next, &message, nullptr)) {
                ShowMessageBox(this, message + " The settings were not saved.", "Exit");
                return false;
            }
            next += FIELDS_ON_PAGE[p];
        }
    }

    // Whatever else the file holds stays.
    IniDocument ini;
    ini.Load(SettingsFile);
    ini.WriteInteger("Settings", "Board", CheckedPieceSet() + 1);
    ini.WriteInteger("Settings", "Font", TextColour());
    ini.WriteInteger("Settings", "Background", BackgroundColour());
    ini.WriteInteger("Settings", "HashSize", HashSizeMB);
    const std::pair<const char*, bool> flags[] = {
        {"Ponder", btnPonder->isChecked()},
        {"OpeningBook", btnUseBook->isChecked()},
        {"Sounds", Sounds1->isChecked()},
        {"Coordinates", Coordinates->isChecked()},
        {"MovedPiece", ShowMovedPiece->isChecked()},
        {"SwapSides", Swapsides1->isChecked()},
        {"UseHash", UseHash->isChecked()},
        {"ShowThink", btnThinkwindow->isChecked()},
        {"ShowMove", btnLastMoveWindow->isChecked()},
        {"ShowClock", ChessClocks1->isChecked()},
        {"EnableLearning", BookLearningEnabled},
        {"EnableResigning", ResignEnabled},
    };
    for (const auto& [key, value] : flags) ini.WriteBool("Settings", key, value);
    // With no personality shown (its file holds none), the choice saved before stays.
    if (const QString personality = PersonalityDialog(this)->cboxName->currentText(); !personality.isEmpty())
        ini.WriteString("Level", "Personality", personality);
    ini.WriteInteger("Level", "Type", type);
    if (withLevel)
        for (std::size_t i = 0; i < std::size(LevelFields); ++i)
            ini.WriteInteger(LevelFields[i].section, LevelFields[i].key, values[i]);
    // A file that cannot be written is said; the window closes all the same.
    if (!ini.Commit()) ShowMessageBox(this, "The settings could not be saved.\n" + ini.ErrorString(), "Error");
    return true;
}

// ------------------------------------------------------------ hash size

void TfrmWinRovik::SetHashSize(int megabytes, bool announce) {
    QAction* const items[] = {btnHash1, btnHash2, btnHash3, btnHash4, btnHash5};
    for (QAction* item : items) item->setChecked(false);
    const i64 bytes = static_cast<i64>(megabytes) * 1048576;
    double size = 32.0;
    while (static_cast<double>(bytes) > size) size *= 2.0;
    if (size - static_cast<double>(bytes) > 1048576.0) size *= 0.5;

    if (!ResizeHashTables(static_cast<u64>(size))) {
        // The start-up table instead; the size set last is kept.
        ShowMessageBox(this, "Error initializing hash!", "Error");
        btnHash1->setChecked(true);
        return;
    }
    HashSizeMB = static_cast<int>(size / 1048576.0);
    if (announce) ShowMessageBox(this, QString::number(HashSizeMB) + "MB Hash initialized!", "Hash");
    int item = static_cast<int>(std::size(MENU_HASH_MB));  // "Custom..."
    for (int i = 0; i < static_cast<int>(std::size(MENU_HASH_MB)); ++i)
        if (HashSizeMB == MENU_HASH_MB[i]) item = i;
    items[item]->setChecked(true);
}

void TfrmWinRovik::btnHash1Click() { SetHashSize(MENU_HASH_MB[0], false); }
void TfrmWinRovik::btnHash2Click() { SetHashSize(MENU_HASH_MB[1], false); }
void TfrmWinRovik::btnHash3Click() { SetHashSize(MENU_HASH_MB[2], false); }
void TfrmWinRovik::btnHash4Click() { SetHashSize(MENU_HASH_MB[3], false); }

void TfrmWinRovik::btnHash5Click() {
    const QString current = QString::number(HashSizeMB);
    const QString text = InputBox(this, "Hash Table", "Enter Hash Table size (in MB):", current);
    if (text == current) return;
    bool ok = false;
    const int megabytes = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        ShowMessageBox(this, "Invalid value!", "Morlaquin");
        SetHashSize(DEFAULT_HASH_MB, true);
        return;
    }
    SetHashSize(megabytes, true);
}

// ------------------------------------------------------------ option items

void TfrmWinRovik::UseHashClick() { UseHashTable = Toggled(UseHash); }

void TfrmWinRovik::btnThinkwindowClick() { pnlThink->setVisible(Toggled(btnThinkwindow)); }

void TfrmWinRovik::btnLastMoveWindowClick() { pnlLastMove->setVisible(Toggled(btnLastMoveWindow)); }

void TfrmWinRovik::btnUseBookClick() { UseBook = Toggled(btnUseBook); }

void TfrmWinRovik::TournamentModeClick() { Toggled(TournamentMode); }

void TfrmWinRovik::ChessClocks1Click() {
    Toggled(ChessClocks1);
    Panel6->setVisible(Panel6->isHidden());
}

void TfrmWinRovik::PrincipalVariation1Click() { lblPV->setVisible(Toggled(PrincipalVariation1)); }

void TfrmWinRovik::EnableBookLearning1Click() { BookLearningEnabled = Toggled(EnableBookLearning1); }

void TfrmWinRovik::btnResignClick() { ResignEnabled = Toggled(btnResign); }

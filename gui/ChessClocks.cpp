// The main window's clocks and time controls.
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "ChessGUI.h"
#include "colours.h"
#include "dialogs/LEVELS.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "messageboxes.h"
#include "search.h"

namespace {

const QColor ClockBlack = ColourFromValue(0);
const QColor ClockNavy = ColourFromValue(0x800000);

void SetLabelColour(QLabel* label, const QColor& colour) { SetPaletteColour(label, QPalette::WindowText, colour); }

}  // namespace

void TfrmWinRovik::MovesPerSide(int currentPly, int clockStartPly, int* white, int* black) {
    const int n = currentPly - clockStartPly;
    *white = *black = 0;
    if (n <= 0) return;
    *white = *black = n / 2;
    if (n % 2 != 0) {
        if (clockStartPly % 2 == 0)
            ++*white;
        else
            ++*black;
    }
}

void TfrmWinRovik::UpdateClocks() {
    const i64 now = TickMs();
    const bool blackToMove = PositionHistory[std::clamp(CurrentPly, 0, HISTORY_SIZE - 1)].SideToMove != WHITE;
    (blackToMove ? BlackUsedMs : WhiteUsedMs) += static_cast<double>(now - MoveStartTick);
    MoveStartTick = now;

    int whiteMoves = 0, blackMoves = 0;
    MovesPerSide(CurrentPly, ClockStartPly, &whiteMoves, &blackMoves);
    switch (TimeControlType) {
        case TIME_PER_MOVE:
            WhiteLeftMs = WhiteUsedMs;
            BlackLeftMs = BlackUsedMs;
            break;
        case TIME_BLITZ: {
            const double base = BlitzMinutes * 60000.0;
            const double bonus = BlitzBonus * 1000.0;
            WhiteLeftMs = whiteMoves * bonus + base - WhiteUsedMs;
            BlackLeftMs = blackMoves * bonus + base - BlackUsedMs;
            break;
        }
        case TIME_TOURNAMENT: {
            const double period = TournamentMinutes * 60000.0;
            const int perPeriod = std::max(static_cast<int>(TournamentMoves), 1);
            auto allowance = [&](int moves) {
                double a = period;
                if (moves >= perPeriod) {
                    if (TournamentRest != 0)
                        a += TournamentRest * 60000.0;
                    else
                        a += (moves / perPeriod) * period;
                }
                return a;
            };
            WhiteLeftMs = allowance(whiteMoves) - WhiteUsedMs;
            BlackLeftMs = allowance(blackMoves) - BlackUsedMs;
            break;
        }
        default:
            break;
    }

    if (CurrentPly == 0 && HumanToMove) {
        SetLabelColour(lblWhiteTime, ClockBlack);
        SetLabelColour(lblBlackTime, ClockBlack);
    } else {
        SetLabelColour(lblWhiteTime, blackToMove ? ClockBlack : ClockNavy);
        SetLabelColour(lblBlackTime, blackToMove ? ClockNavy : ClockBlack);
    }

    // The peer's clock values belong to the side the engine plays when it
    // next moves, which only its next move tells: they wait for it
    // (ApplyProtocolTimes).
    if (const double ms = XboardTimeMs.exchange(0.0); ms != 0.0) HeldEngineTimeMs = ms;
    if (const double ms = XboardOtimMs.exchange(0.0); ms != 0.0) HeldOpponentTimeMs = ms;

    ShowClocks(BlackLeftMs, WhiteLeftMs);
}

void TfrmWinRovik::ShowClocks(double blackLeftMs, double whiteLeftMs) {
    lblWhiteTime->setText(FormatClockTime(whiteLeftMs, true));
    lblBlackTime->setText(FormatClockTime(blackLeftMs, true));
    if (TimeControlType == TIME_PER_MOVE || ProtocolMode) return;
    // A side's flag falls once; the clock waits while the box is up.
    const auto flagFalls = [this](bool& flagged, const QString& text) {
        SetTimerEnabled(tmrClock, false);
        flagged = true;
        StopAutoplay();
        ShowMessageBox(this, text, "Result");
        SetTimerEnabled(tmrClock, true);
    };
    if (whiteLeftMs <= 0 && !WhiteFlagged) flagFalls(WhiteFlagged, "White Lost on Time!");
    if (blackLeftMs <= 0 && !BlackFlagged) flagFalls(BlackFlagged, "Black Lost on Time!");
}

QString TfrmWinRovik::FormatClockTime(double ms, bool longForm) {
    // Far beyond any clock; keeps the conversion defined.
    constexpr double LIMIT = 1e15;
    const double clamped = std::isnan(ms) ? 0.0 : std::clamp(ms, -LIMIT, LIMIT);
    const i64 t = static_cast<i64>(clamped);
    i64 s = t / 1000 + (t % 1000 > 1 ? 1 : 0);
    bool negative = false;
    if (s < 0) {
        negative = true;
        s = -s;
    }
    i64 m = 0, h = 0;
    if (s >= 60) {
        m = s / 60;
        s %= 60;
    }
    if (m >= 60) {
        h = m / 60;
        m %= 60;
    }
    auto two = [](i64 v) { return QString::number(v).rightJustified(2, '0'); };
    if (longForm) return (negative ? "-" : "") + two(h) + ":" + two(m) + ":" + two(s);
    if (m == 0) return QLocale(QLocale::English).toString(clamped * 0.001, 'f', 2) + "s";
    if (h == 0) return QString::number(m) + ":" + two(s);
    return QString::number(h) + ":" + QString::number(m) + ":" + two(s);
}

void TfrmWinRovik::SetClockLabels(const QString& text) {
    lblWhiteTime->setText(text);
    lblBlackTime->setText(text);
}

void TfrmWinRovik::ResetClocks() {
    WhiteUsedMs = BlackUsedMs = 0;
    MoveStartTick = TickMs();
    SetTimerEnabled(tmrClock, CurrentPly > 0);
    SetClockLabels("00:00:00");
}

void TfrmWinRovik::ApplyLevel(int mode) {
    TfrmLevels* levels = LevelsDialog(this);
    QWidget* page = levels->pcontrLevel->currentWidget();
    const bool chosenLevel = mode != LEVEL_INFINITE && mode != LEVEL_HUMAN_VS_HUMAN;

    // Every field the level uses is checked before anything changes; a
    // refused level leaves the dialog with the values last used.
    int values[3] = {0, 0, 0};
    if (chosenLevel) {
        QString message;
        if (!levels->ReadPage(page, values, &message, nullptr)) {
            ShowMessageBox(this, message, "Select Level");
            levels->RestoreValues();
            return;
        }
        levels->KeepValues();
    }

    ResetClocks();
    btnCustom->setChecked(false);
    btnInfinite->setChecked(false);
    btnHumanvsHuman->setChecked(false);
    HumanVsHuman = false;
    InfiniteSearch = false;
    ClockStartPly = CurrentPly;

    if (mode == LEVEL_INFINITE) {
        TimeControlType = TIME_PER_MOVE;
        TargetTimeMs = 10;
        InfiniteSearch = true;
        btnInfinite->setChecked(true);
    } else if (mode == LEVEL_HUMAN_VS_HUMAN) {
        btnHumanvsHuman->setChecked(true);
        HumanVsHuman = true;
        StopAutoplay();
        btnPonder->setChecked(false);
        PonderEnabled = false;
    } else {
        btnCustom->setChecked(true);
        btnPonder->setChecked(true);
        PonderEnabled = true;
        if (page == levels->Sheet1) {
            TimeControlType = TIME_PER_MOVE;
            TargetTimeMs = values[0] * 1000.0;
        } else if (page == levels->Sheet2) {
            TimeControlType = TIME_BLITZ;
            BlitzMinutes = values[0];
            BlitzBonus = values[1];
            SetClockLabels(FormatClockTime(BlitzMinutes * 60000.0, true));
        } else if (page == levels->Sheet3) {
            TimeControlType = TIME_TOURNAMENT;
            TournamentMoves = values[0];
            TournamentMinutes = values[1];
            TournamentRest = values[2];
            SetClockLabels(FormatClockTime(TournamentMinutes * 60000.0, true));
        }
    }
}

void TfrmWinRovik::tmrClockTimer() {
    if (CurrentPly != 0 || !HumanToMove) UpdateClocks();
}

void TfrmWinRovik::btnCustomClick() {
    if (LevelsDialog(this)->exec() == QDialog::Accepted) ApplyLevel(LEVEL_CHOSEN);
}

void TfrmWinRovik::btnInfiniteClick() { ApplyLevel(LEVEL_INFINITE); }

void TfrmWinRovik::btnHumanvsHumanClick() { ApplyLevel(LEVEL_HUMAN_VS_HUMAN); }

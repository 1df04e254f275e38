// The main window's personality item.
#include <QComboBox>

#include "ChessGUI.h"
#include "bitboard.h"
#include "dialogs/Personality.h"
#include "globals.h"
#include "rootsearch.h"

void TfrmWinRovik::Personality1Click() {
    TfrmPersonality* dialog = PersonalityDialog(this);
    const QString shown = dialog->cboxName->currentText();
    if (dialog->exec() == QDialog::Accepted) {
        RecomputeMaterial();
        setWindowTitle("Personality: " + dialog->cboxName->currentText());
    } else {
        dialog->SelectPersonality(shown);
    }
}

void TfrmWinRovik::RecomputeMaterial() {
    // Every position the game can return to, so that a take back, a replay
    // or a new game keeps its sums in step with the values.
    ComputeMaterial(&GameBoard.Pos);
    ComputeMaterial(&StartPosition);
    for (int p = 0; p <= LastPly; ++p) ComputeMaterial(&PositionHistory[p]);
}

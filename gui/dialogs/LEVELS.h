// The time-control dialog "Select Level": one page per time control, each
// with editable drop-down lists of numbers.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;

class TfrmLevels : public QDialog {
    Q_OBJECT

public:
    explicit TfrmLevels(QWidget* parent = nullptr);
    ~TfrmLevels() override;

    QTabWidget* pcontrLevel;
    QWidget* Sheet1;  // "Seconds/Move"
    QWidget* Sheet2;  // "Blitz"
    QWidget* Sheet3;  // "Tournament"

    QComboBox* cboxSecs1;
    QComboBox* cboxBlitz1;
    QComboBox* cboxBlitz2;
    QComboBox* cboxTourn1;
    QComboBox* cboxTourn2;
    QComboBox* cboxTourn3;

    QLabel* Label1;  // "Seconds per Move"
    QLabel* Label2;  // "Minutes per Game"
    QLabel* Label3;  // "Seconds Bonus per Move"
    QLabel* Label4;  // "Moves in "
    QLabel* Label5;  // "Minutes"
    QLabel* Label6;  // "Minutes for Remaining Moves"

    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn2;  // Cancel
};

// The application's time-control dialog; created at start-up after the
// main window (nullptr before).
extern TfrmLevels* frmLevels;
// The dialog, made for the owner when there is none yet.
TfrmLevels* LevelsDialog(QWidget* owner);

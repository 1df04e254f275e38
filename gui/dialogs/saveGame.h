// The save-game dialog "Save Game": the file a game is appended to and the
// six tag values written before its moves.
#pragma once

#include <QDialog>
#include <QString>

class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class TfrmSaveGame : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSaveGame(QWidget* parent = nullptr);
    ~TfrmSaveGame() override;

    // The program's version, for the proposed player name.
    QString VersionField;
    // The tag lines of the last confirmed dialog, without line ends.
    QString EventTag;
    QString SiteTag;
    QString DateTag;
    QString WhiteTag;
    QString BlackTag;
    QString ResultTag;

    QLabel* Label1;  // "File Name:"
    QLineEdit* edtFileName;
    QToolButton* SpeedButton1;  // browse
    QGroupBox* GroupBox1;       // "Game Details"
    QLabel* Label2;             // "Event:"
    QLabel* Label3;             // "Site:"
    QLabel* Label4;             // "Date:"
    QLabel* Label5;             // "White:"
    QLabel* Label6;             // "Black:"
    QLabel* Label7;             // "Result:"
    QLineEdit* edtEvent;
    QLineEdit* edtSite;
    QLineEdit* edtDate;
    QLineEdit* edtWhite;
    QLineEdit* edtBlack;
    QLineEdit* edtResult;
    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn2;  // Cancel
    QFileDialog* dlgSaveGame;

    // Each showing: today's date; with ResetFields a new file name and the
    // player names.
    void FormShow();
    // Builds the tag lines from the edits and confirms the dialog.
    void BitBtn1Click();
    // Chooses the file name in dlgSaveGame.
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildTagLines();
};

// The application's save-game dialog (nullptr before start-up creates it).
extern TfrmSaveGame* frmSaveGame;

// The name with ".pgn" appended when it does not hold ".pgn" anywhere
// (exact case).
QString WithPgnExtension(const QString& name);

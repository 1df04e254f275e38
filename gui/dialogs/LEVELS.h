// The time-control dialog "Select Level": one page per time control, each
// with editable drop-down lists of numbers. It holds only values that can be
// used: OK takes valid values only, and Cancel or a refused level puts back
// the values last used.
#pragma once

#include <QDialog>
#include <QString>

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

    // The whole numbers in the page's fields, in their order on the page.
    // False when a field holds no valid value: then message says which, and
    // wrong is that field.
    bool ReadPage(const QWidget* page, int values[3], QString* message, QComboBox** wrong) const;
    // The page shown and every field with a valid value become the values
    // last used; a field without one shows its last used value again.
    void KeepValues();
    // The page and every field as last used.
    void RestoreValues();

    // OK closes the dialog only when the page shown holds valid values;
    // otherwise it says what is wrong and stays open on that field.
    void accept() override;
    // Cancel: the values last used again.
    void reject() override;

private:
    static constexpr int FIELDS = 6;
    // The fields in page order, with their labels and the page each is on.
    QComboBox* Field(int i) const;
    QLabel* FieldLabel(int i) const;
    QWidget* FieldPage(int i) const;
    // The field's whole number; false when it holds none or, for the
    // tournament's moves, fewer than one.
    bool FieldValue(int i, int* value, QString* message) const;

    QString KeptTexts[FIELDS];
    QWidget* KeptPage = nullptr;
};

// The application's time-control dialog; created at start-up after the
// main window (nullptr before).
extern TfrmLevels* frmLevels;
// The dialog, made for the owner when there is none yet.
TfrmLevels* LevelsDialog(QWidget* owner);

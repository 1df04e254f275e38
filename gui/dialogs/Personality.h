// The personality editor "Personality Setup": the personalities of the
// personality file, their settings, description and picture; the one shown
// when OK is chosen sets the engine's piece values and weights.
#pragma once

#include <QDialog>
#include <QString>

#include <string>

class IniDocument;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The Name of a section that holds no personality.
inline constexpr const char* EMPTY_NAME_SENTINEL = "Sommer heel leeg!?";

// A personality's value keys, in the file's order.
inline constexpr const char* PersonalityValueKeys[11] = {
    "PawnValue",  "KnightValue", "BishopValue", "RookValue", "QueenValue", "Positional",
    "Kingsafety", "Passed",      "Mobility",    "Blunder",   "Speed",
};

// Sections probed by name, and empty slots counted before a scan stops.
constexpr int PERSONALITY_SLOTS = 200;

class TfrmPersonality : public QDialog {
    Q_OBJECT

public:
    explicit TfrmPersonality(QWidget* parent = nullptr);
    ~TfrmPersonality() override;

    // The folder the pictures are read from (images/personalities/ in it)
    // and the personality file; both set by FormCreate.
    std::string AppDir;
    QString PersonalityFile;
    // Index in cboxName of the personality last selected.
    int CurrentIndex = 0;
    // The longest description the memo shows whole and lets be edited. A
    // longer one shows its beginning, read-only, and stays in the file as
    // it is (laying out a long text freezes the window).
    static constexpr qsizetype ShownDescriptionLength = 10000;

    QGroupBox* GroupBox1;  // "Personality"
    QGroupBox* GroupBox2;  // "Personality Settings"
    QComboBox* cboxName;
    QPlainTextEdit* memDescription;
    QLabel* Image1;
    QComboBox* cboxPositional;
    QComboBox* cboxMobility;
    QComboBox* cboxSafety;
    QComboBox* cboxPassed;
    QComboBox* cboxBlunder;
    QComboBox* cboxSpeed;
    QComboBox* cboxPawn;
    QComboBox* cboxKnight;
    QComboBox* cboxBishop;
    QComboBox* cboxRook;
    QComboBox* cboxQueen;
    QPushButton* btnNew;
    QPushButton* btnDelete;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // The eleven texts to the engine's values. A text that is not a whole
    // number from -1000000 to 1000000 gives the default values, with a
    // message, and false.
    bool ApplySettings();
    // The names of the file into cboxName; then the entry at CurrentIndex.
    void FillNameList();
    // Why the list FillNameList made is empty: the file cannot be read, is
    // empty or holds no personality (the file named). Empty when the list
    // has names or there is no file.
    QString ListProblem;
    // The named personality of the file into the dialog; false when the
    // file has none of that name (nothing changes then).
    bool SelectPersonality(const QString& name);
    // Start-up: FillNameList, then the named personality selected, or
    // "Morlaquin" when the file has none of that name.
    void StartUp(const QString& name);
    void FormCreate();
    void cboxNameChange();
    void btnOKClick();
    void btnNewClick();
    void btnDeleteClick();

    // The picture of a name: images/personalities/<name>.jpg, or blank.jpg
    // when there is none (also for a name that is no plain file name).
    QString PicturePath(const QString& name) const;
    // The name is refused for a new personality (it would break the file or
    // the picture's path): the reason, else an empty text.
    static QString NameProblem(const QString& name);

private:
    // The eleven combos, in the file's key order, with their keys and read defaults.
    struct Setting {
        QComboBox* box;
        const char* key;
        int readDefault;
    };
    Setting Settings[11];
    // The description shown is only the beginning of the one in the file.
    bool DescriptionCut = false;

    // The file as it is now; a file that cannot be read is said.
    bool LoadFile(IniDocument* ini);
    // FillNameList with the file read into ini, and SelectPersonality
    // from it.
    void FillNameListFrom(IniDocument* ini);
    bool SelectIn(const IniDocument& ini, const QString& name);
    // Writes the changes; a failure is said.
    void CommitFile(IniDocument* ini);
    void LoadPicture(const QString& name);
    void SetEditable(bool editable);
};

// The application's personality editor; created at start-up after the main
// window (nullptr before).
extern TfrmPersonality* frmPersonality;
// The editor, made for the owner when there is none yet.
TfrmPersonality* PersonalityDialog(QWidget* owner);

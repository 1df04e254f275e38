// Every modal message and question box of the front end goes through this
// interface, so tests can run without a display and answer from a script.
#pragma once

#include <QString>

class QColor;
class QColorDialog;
class QFileDialog;
class QWidget;

enum class BoxButtons { Ok, YesNo, YesNoCancel, OkCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the button chosen (closing the box
    // counts as Cancel, or No when there is no Cancel, or Ok).
    virtual BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption,
                           BoxButtons buttons) = 0;
    // Runs a file dialog modally: true with the chosen file's name, false
    // when it was cancelled. Boxes that show nothing cancel every dialog.
    virtual bool RunFileDialog(QFileDialog* dialog, QString* fileName);
    // An input box for one line of text, *text its default: true with the
    // text typed when OK was chosen. Boxes that show nothing cancel it.
    virtual bool AskText(QWidget* parent, const QString& caption, const QString& prompt, QString* text);
    // Runs a colour dialog modally: true with the colour chosen with OK.
    // Boxes that show nothing cancel it.
    virtual bool RunColorDialog(QColorDialog* dialog, QColor* colour);
};

// Real modal boxes.
class WidgetMessageBoxes : public MessageBoxes {
public:
    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption,
                   BoxButtons buttons) override;
    bool RunFileDialog(QFileDialog* dialog, QString* fileName) override;
    bool AskText(QWidget* parent, const QString& caption, const QString& prompt, QString* text) override;
    bool RunColorDialog(QColorDialog* dialog, QColor* colour) override;
};

// The answer of a box closed without a choice: Cancel, or No when there is
// no Cancel, or Ok.
BoxAnswer ClosedBoxAnswer(BoxButtons buttons);

// The boxes in use; real boxes until others are set. nullptr restores them.
void SetMessageBoxes(MessageBoxes* boxes);
MessageBoxes& Boxes();

// A box with one OK button.
void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption);
// A question box; Yes/No or Yes/No/Cancel.
BoxAnswer AskQuestion(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons);
// An input box: the text typed, or the default text when it was cancelled.
QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& defaultText);
// A file dialog through the boxes in use.
bool ChooseFile(QFileDialog* dialog, QString* fileName);
// A colour dialog through the boxes in use.
bool ChooseColour(QColorDialog* dialog, QColor* colour);

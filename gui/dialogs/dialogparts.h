// Pieces the program's small dialogs and forms are built from.
#pragma once

#include <QStringList>

#include <initializer_list>

class QComboBox;
class QDialog;
class QFileDialog;
class QHBoxLayout;
class QLabel;
class QPixmap;
class QPushButton;
class QWidget;

// A fixed-size modal dialog, framed as FrameModalBox frames it.
void SetUpFixedDialog(QDialog* dialog, const QString& name, const QString& title);

// The width a window manager needs to draw a title whole: the text in the
// title bar's font, bold as most draw it, and room for the window's icon
// and buttons and the bar's margins.
int TitleBarWidth(const QString& title);

// A modal box's frame: a title bar with a close button and no minimise or
// maximise button, and, from its first showing on, never narrower than its
// title needs (TitleBarWidth), also when the title changes.
void FrameModalBox(QWidget* box);

// An editable drop-down list of values showing text; typing adds no item.
QComboBox* MakeCombo(QWidget* parent, const char* name, const QString& text, const QStringList& items);

// Moves the window to the middle of the primary screen.
void CentreOnScreen(QWidget* window);

// A file dialog with its name filters; a typed name need not exist, and a
// save dialog never asks before an existing file is chosen.
QFileDialog* MakeFileDialog(QWidget* parent, const char* name, bool forSaving, const QStringList& nameFilters);

// A label with its object name.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text);

// The dialog's default button, "OK".
QPushButton* MakeOkButton(QWidget* parent, const QString& name);

// The dialog's "Cancel" button; it rejects the dialog.
QPushButton* MakeCancelButton(QDialog* dialog, const QString& name);

// The widgets side by side in the middle of a row.
QHBoxLayout* CentredRow(std::initializer_list<QWidget*> widgets);

// The dialog kept in slot, made for the owner when there is none yet.
template <class Dialog>
Dialog* MadeOnce(Dialog*& slot, QWidget* owner) {
    if (slot == nullptr) slot = new Dialog(owner);
    return slot;
}

// The picture stretched over the whole widget, with an oval frame of the
// given pen width inside its edge.
void PaintFramedPicture(QWidget* widget, const QPixmap& picture, int penWidth);

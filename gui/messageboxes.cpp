#include "messageboxes.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLayout>
#include <QMessageBox>

#include "dialogs/dialogparts.h"

namespace {
WidgetMessageBoxes widgetBoxes;
MessageBoxes* currentBoxes = &widgetBoxes;
}  // namespace

BoxAnswer WidgetMessageBoxes::Show(QWidget* parent, const QString& text, const QString& caption,
                                   BoxButtons buttons) {
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    if (buttons == BoxButtons::YesNo) {
        set = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
    } else if (buttons == BoxButtons::YesNoCancel) {
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
    } else if (buttons == BoxButtons::OkCancel) {
        set = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
    }
    QMessageBox box(buttons == BoxButtons::Ok ? QMessageBox::Information : QMessageBox::Question, caption,
                    text, set, parent);
    FrameModalBox(&box);
    box.setEscapeButton(escape);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        case QMessageBox::Ok:
            return BoxAnswer::Ok;
        default:
            return ClosedBoxAnswer(buttons);
    }
}

BoxAnswer ClosedBoxAnswer(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::YesNo:
            return BoxAnswer::No;
        case BoxButtons::YesNoCancel:
        case BoxButtons::OkCancel:
            return BoxAnswer::Cancel;
        case BoxButtons::Ok:
            break;
    }
    return BoxAnswer::Ok;
}

bool MessageBoxes::RunFileDialog(QFileDialog*, QString*) { return false; }

bool MessageBoxes::AskText(QWidget*, const QString&, const QString&, QString*) { return false; }

bool MessageBoxes::RunColorDialog(QColorDialog*, QColor*) { return false; }

bool WidgetMessageBoxes::RunColorDialog(QColorDialog* dialog, QColor* colour) {
    if (dialog->exec() != QDialog::Accepted) return false;
    *colour = dialog->selectedColor();
    return true;
}

bool WidgetMessageBoxes::AskText(QWidget* parent, const QString& caption, const QString& prompt, QString* text) {
    QInputDialog box(parent);
    box.setWindowTitle(caption);
    box.setInputMode(QInputDialog::TextInput);
    box.setLabelText(prompt);
    box.setTextValue(*text);
    FrameModalBox(&box);
    // The box makes its layout when it is first measured; that layout then
    // keeps it of one size, as the other boxes.
    box.sizeHint();
    if (QLayout* layout = box.layout()) layout->setSizeConstraint(QLayout::SetFixedSize);
    if (box.exec() != QDialog::Accepted) return false;
    *text = box.textValue();
    return true;
}

bool WidgetMessageBoxes::RunFileDialog(QFileDialog* dialog, QString* fileName) {
    if (dialog->exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
    *fileName = chosen.first();
    return true;
}

void SetMessageBoxes(MessageBoxes* boxes) { currentBoxes = boxes ? boxes : &widgetBoxes; }

MessageBoxes& Boxes() { return *currentBoxes; }

void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption) {
    Boxes().Show(parent, text, caption, BoxButtons::Ok);
}

BoxAnswer AskQuestion(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) {
    return Boxes().Show(parent, text, caption, buttons);
}

QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& defaultText) {
    QString text = defaultText;
    return Boxes().AskText(parent, caption, prompt, &text) ? text : defaultText;
}

bool ChooseFile(QFileDialog* dialog, QString* fileName) { return Boxes().RunFileDialog(dialog, fileName); }

bool ChooseColour(QColorDialog* dialog, QColor* colour) { return Boxes().RunColorDialog(dialog, colour); }

#include "dialogparts.h"

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

void SetUpFixedDialog(QDialog* dialog, const QString& name, const QString& title) {
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setModal(true);
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QString& text, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setEditText(text);
    return box;
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

QFileDialog* MakeFileDialog(QWidget* parent, const char* name, bool forSaving, const QStringList& nameFilters) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    dialog->setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(nameFilters);
    if (forSaving) dialog->setOption(QFileDialog::DontConfirmOverwrite);
    return dialog;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QPushButton* MakeOkButton(QWidget* parent, const QString& name) {
    auto* button = new QPushButton("OK", parent);
    button->setObjectName(name);
    button->setDefault(true);
    return button;
}

QPushButton* MakeCancelButton(QDialog* dialog, const QString& name) {
    auto* button = new QPushButton("Cancel", dialog);
    button->setObjectName(name);
    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
    return button;
}

QHBoxLayout* CentredRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* w : widgets) row->addWidget(w);
    row->addStretch();
    return row;
}

void PaintFramedPicture(QWidget* widget, const QPixmap& picture, int penWidth) {
    QPainter p(widget);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(widget->rect(), picture);
    p.setPen(QPen(QColor(200, 160, 96), penWidth));
    p.setBrush(Qt::NoBrush);
    const int inset = penWidth / 2;
    p.drawEllipse(QRectF(widget->rect()).adjusted(inset, inset, -inset, -inset));
}

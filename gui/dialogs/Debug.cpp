#include "Debug.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TfrmDebug* frmDebug = nullptr;

TfrmDebug::TfrmDebug(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmDebug");
    setWindowTitle("frmDebug");
    resize(400, 300);

    Memo1 = new QPlainTextEdit("Memo1", this);
    Memo1->setObjectName("Memo1");
    Memo2 = new QPlainTextEdit("Memo2", this);
    Memo2->setObjectName("Memo2");
    Memo2->setFixedHeight(89);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1, 1);
    layout->addWidget(Memo2);
}

TfrmDebug::~TfrmDebug() {
    if (frmDebug == this) frmDebug = nullptr;
}

// The debug window: two text fields, nothing more.
#pragma once

#include <QWidget>

class QPlainTextEdit;

class TfrmDebug : public QWidget {
    Q_OBJECT

public:
    explicit TfrmDebug(QWidget* parent = nullptr);
    ~TfrmDebug() override;

    QPlainTextEdit* Memo1;
    QPlainTextEdit* Memo2;
};

// The application's debug window (nullptr before start-up creates it).
extern TfrmDebug* frmDebug;

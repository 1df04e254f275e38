// The splash form: the program's picture, shown while the program starts.
#pragma once

#include <QPixmap>
#include <QWidget>

class TfrmSplash : public QWidget {
    Q_OBJECT

public:
    explicit TfrmSplash(QWidget* parent = nullptr);
    ~TfrmSplash() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap Image1;
};

// The splash form while it exists (from the entry's start to the message loop).
extern TfrmSplash* frmSplash;

#include "Splash.h"

#include "dialogparts.h"

TfrmSplash* frmSplash = nullptr;

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), Image1(":/images/splash.png") {
    setObjectName("frmSplash");
    // No background of its own: the picture covers the form.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(Image1.isNull() ? QSize(480, 300) : Image1.size());
    CentreOnScreen(this);
}

TfrmSplash::~TfrmSplash() {
    if (frmSplash == this) frmSplash = nullptr;
}

void TfrmSplash::paintEvent(QPaintEvent*) { PaintFramedPicture(this, Image1, 12); }

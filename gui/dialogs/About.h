// The About box: the program's picture, its version, a notice, and a link
// that opens the help document.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

class QFrame;
class QPushButton;
class TAboutBox;

// The link label: hands its presses and releases to the box.
class urllabel : public QLabel {
public:
    urllabel(TAboutBox* box, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TAboutBox* box;
};

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    QString VersionField;  // filled by the main window when it is shown

    QWidget* ProgramIcon;  // the picture with its ellipse
    QLabel* Version;
    QLabel* Copyright;
    urllabel* URLLabel;
    QFrame* Bevel1;
    QPushButton* Button1;  // OK

    void FormShow();
    void URLLabelMouseDown();
    void URLLabelMouseUp();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
};

// The application's About box (nullptr before start-up creates it).
extern TAboutBox* AboutBox;

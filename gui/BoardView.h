// The board's paint box: it paints the window's composed board image and
// hands its mouse events to the window's board handlers. Installed as its
// panel's event filter, it has the window lay the board out again whenever
// the panel is resized.
#pragma once

#include <QWidget>

class TfrmWinRovik;

class boardpaintbox : public QWidget {
public:
    // panel: the panel the board sits in; window: the handlers' owner.
    boardpaintbox(TfrmWinRovik* window, QWidget* panel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TfrmWinRovik* window;
};

#include <string>

// The message for a piece-set file that cannot be read.
std::string PieceSetErrorText(const std::string& file);

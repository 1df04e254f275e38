#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <vector>

#include "ChessGUI.h"
#include "dialogs/About.h"
#include "dialogs/Debug.h"
#include "dialogs/LEVELS.h"
#include "dialogs/MLOpen.h"
#include "dialogs/PROMOTE.h"
#include "dialogs/Personality.h"
#include "dialogs/Splash.h"
#include "dialogs/saveGame.h"
#include "globals.h"
#include "guiglobals.h"
#include "helpsystem.h"
#include "messageboxes.h"
#include "xboard.h"

namespace {

void ShowException(const std::exception& e) {
    if (ProtocolMode) std::fprintf(stderr, "%s\n", e.what());
    ShowMessageBox(nullptr, QString::fromLocal8Bit(e.what()), "Morlaquin");
}

// An exception that escapes an event handler is shown, and the loop goes on.
class application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e);
            return false;
        }
    }
};

// Qt's own messages. While the application is made they are held: without
// a display Qt ends the program from inside its platform plugin, after lines
// of its own, and that is told in one line instead, with exit status 1. In
// protocol mode they are dropped: interfaces log the engine's standard error.
std::vector<QString> HeldMessages;

void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        if (!ProtocolMode) HeldMessages.push_back(text);
        return;
    }
    if (text.contains("platform plugin"))
        std::fputs("morlaquin: no display found; it serves chess interfaces when the first word on its standard "
                   "input is \"xboard\"\n",
                   stderr);
    else
        std::fprintf(stderr, "morlaquin: %s\n", qPrintable(text));
    std::_Exit(1);
}

// Window mode, once the application stands: Qt's messages as usual.
void ReleaseQtMessages() {
    qInstallMessageHandler(nullptr);
    for (const QString& text : HeldMessages) std::fprintf(stderr, "%s\n", qPrintable(text));
    HeldMessages.clear();
}

}  // namespace

int main(int argc, char* argv[]) {
    InitEngineGlobals();

    // The first word on standard input chooses the mode, before anything
    // else is built. Protocol mode has no display and shows nothing.
    if (DetectProtocolMode()) {
        ProtocolMode = true;
        PrepareProtocolOutput();
        SendOpeningFeatures(SendProtocolLine);
        qputenv("QT_QPA_PLATFORM", "offscreen");
        SetMessageBoxes(ProtocolMessageBoxes());
        InstallStopSignals();
    }

    qInstallMessageHandler(QtMessage);
    application app(argc, argv);
    if (!ProtocolMode) ReleaseQtMessages();
    QApplication::setWindowIcon(QIcon(":/images/morlaquin.png"));
    try {
        // The splash is painted while the rest starts.
        if (!ProtocolMode) {
            frmSplash = new TfrmSplash;
            frmSplash->show();
            QCoreApplication::processEvents();
        }
        SetHelpFile("rovik.html");

        // The main window first: it is the application's main form. The
        // dialogs live as long as it does.
        auto window = std::make_unique<TfrmWinRovik>();
        frmWinRovik = window.get();
        frmDebug = new TfrmDebug(window.get());
        AboutBox = new TAboutBox(window.get());
        frmPromote = new TfrmPromote(window.get());
        frmSaveGame = new TfrmSaveGame(window.get());
        frmOpenGame = new TfrmOpenGame(window.get());
        frmLevels = new TfrmLevels(window.get());
        frmPersonality = new TfrmPersonality(window.get());
        delete frmSplash;

        if (ProtocolMode)
            window->FormShow();
        else
            window->show();
        const int result = app.exec();
        window->FormDestroy();
        window.reset();
        frmWinRovik = nullptr;
        return result;
    } catch (const std::exception& e) {
        delete frmSplash;
        frmWinRovik = nullptr;
        ShowException(e);
        return 1;
    }
}

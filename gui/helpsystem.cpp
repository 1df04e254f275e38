#include "helpsystem.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "messageboxes.h"

namespace {
QString helpFile;
QPointer<QTextBrowser> helpWindow;
}  // namespace

void SetHelpFile(const QString& path) { helpFile = path; }

QString HelpFile() { return helpFile; }

bool ShowHelpContents() {
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable()) {
        ShowMessageBox(QApplication::activeWindow(), "Cannot open the help file \"" + helpFile + "\".", "Error");
        return false;
    }
    if (!helpWindow) {
        helpWindow = new QTextBrowser;
        helpWindow->setObjectName("HelpWindow");
        helpWindow->setAttribute(Qt::WA_DeleteOnClose);
        helpWindow->setOpenExternalLinks(true);
        helpWindow->resize(640, 560);
    }
    helpWindow->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    helpWindow->setWindowTitle(helpWindow->documentTitle().isEmpty() ? QString("Morlaquin Help")
                                                                     : helpWindow->documentTitle());
    // Opened from a modal dialog (the About box), the window must take input
    // over it; opened from the menu it stays beside the main window.
    const Qt::WindowModality modality = QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal;
    if (helpWindow->windowModality() != modality) {
        helpWindow->hide();
        helpWindow->setWindowModality(modality);
    }
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
    return true;
}

void QuitHelp() { delete helpWindow.data(); }

QTextBrowser* HelpWindow() { return helpWindow.data(); }

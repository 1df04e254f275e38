// The application's help: an HTML document shown in a help window. The
// contents command opens the window on the document; the quit command
// closes it.
#pragma once

#include <QString>

class QTextBrowser;

void SetHelpFile(const QString& path);
QString HelpFile();

// Shows the help file's contents; when the file cannot be read, says so in
// a message box and returns false.
bool ShowHelpContents();

// Closes the help window (at exit).
void QuitHelp();

// The help window while it exists, else nullptr.
QTextBrowser* HelpWindow();

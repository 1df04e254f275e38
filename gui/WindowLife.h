// Start-up helpers of the main window.
#pragma once

#include <QString>

#include <string>

// The directory the program reads its data from and keeps its files in: the
// working directory when it holds the program's data (an images folder),
// else the data installed beside the executable ("data" next to it), else
// the working directory.
std::string StartupDirectory();

// The file is a readable wave file (RIFF header, a format and a data chunk).
bool IsReadableWave(const QString& path);

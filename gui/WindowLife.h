// Start-up helpers of the main window, and the file paths it passes on.
#pragma once

#include <QString>

#include <string>

// The directory the program reads its data from and keeps its files in: the
// working directory when it holds the program's data (an images/wood folder),
// else the data installed beside the executable ("data" next to it), else
// the working directory.
std::string StartupDirectory();

// The folder of the files the program rewrites (the learning book, the
// personality file, the settings file) when it starts from startupDir: that
// folder itself when it is a copy of the program's files the user started
// it in (a working directory holding them, other than the data installed
// beside the executable); else the user's data folder, made when missing.
std::string UserFilesDirectory(const std::string& startupDir);

// The path of a file the program rewrites, in userDir. When userDir has
// none yet, the one shipped in startupDir is copied there first (whole or
// not at all, so a failed copy is tried again at the next start); why a
// copy failed goes to *failure. Temporary files that killed saves of the
// file left beside it are removed.
std::string UserFilePath(const std::string& startupDir, const std::string& userDir, const std::string& name,
                         QString* failure = nullptr);

// A file name as the standard streams and stdio take it (the local 8-bit
// encoding of file names).
std::string LocalPath(const QString& name);

// The file is a readable wave file (RIFF header, a format and a data chunk).
bool IsReadableWave(const QString& path);

// Compares the files a data generator wrote with the shipped ones by what
// they mean: pictures pixel by pixel within a rendering tolerance, every
// other file byte for byte.
#pragma once

#include <QString>
#include <QStringList>

// Anti-aliased edges come out a level or so apart on different processors;
// anything more, or a small difference over much of a picture, is a change.
struct PictureTolerance {
    int maxChannelDifference = 2;     // levels of 255, in any channel
    double maxDifferingShare = 0.05;  // of the picture's pixels
};

// Empty when the two pictures agree within the tolerance, else why not.
QString ComparePictureFiles(const QString& shipped, const QString& made,
                            const PictureTolerance& tolerance = {});

// One line for every file that differs, is missing or was added. The
// shipped files are those under OWNED (files or folders, relative to
// SHIPPED_DIR); the made ones are every file under MADE_DIR.
QStringList CompareDataFolders(const QString& shippedDir, const QString& madeDir,
                               const QStringList& owned);

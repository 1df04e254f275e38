// JPEG pictures decoded with libjpeg.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Pictures wider or higher than this are refused from their header.
constexpr int MaxJpegSide = 10000;
// Larger pictures are decoded at a half, a quarter or an eighth of their
// size, down to this on each side if they can.
constexpr int JpegShownSide = 1024;
constexpr qint64 MaxJpegFileBytes = 32 * 1024 * 1024;

// The picture, or a null image when the data is not a whole, sound JPEG
// picture of a sane size (truncated, corrupt, not JPEG, a header claiming a
// huge size). Nothing is reported and nothing else happens.
QImage DecodeJpeg(const QByteArray& data);
QImage ReadJpegFile(const QString& path);

// The picture as a baseline JPEG file, empty when it cannot be encoded.
QByteArray EncodeJpeg(const QImage& image, int quality);

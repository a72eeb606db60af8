#pragma once

#include <QSize>
#include <QString>

class QImage;

// The largest picture read, in pixels (width × height). Photos of cameras up to about 100
// megapixels pass; a small file that claims to be far larger (a decompression bomb) is refused
// from its header, before anything is decoded.
inline constexpr qint64 kMaxPicturePixels = 120'000'000;

// Reads a picture file (BMP, JPEG, GIF, PNG, ...) for a box of shownSize device pixels: a
// larger picture is decoded straight to that size (a JPEG by the decoder itself), so a photo
// of any camera fits in memory. An empty path gives an empty picture. Only a regular file is
// read, and it is opened without blocking, so a named pipe or a device named as a picture is
// refused at once instead of hanging the program; every refusal names the file.
bool readPictureFile(const QString& path, const QSize& shownSize, QImage* picture, QString* error);

#pragma once

#include <QByteArray>
#include <QString>

#include "store/Status.h"

// The name of the temporary file every rewrite goes through, written beside the data file.
inline const QString kTemporaryFileName = QStringLiteral("ダミー００");

// Where the contents of a data file really live: a symbolic link is followed to its target
// (so the link stays a link), any other path is made absolute.
QString resolveDataFilePath(const QString& path);

// Replaces the file at path with contents so that at every instant the file holds either its
// complete old or its complete new contents:
//   write "ダミー００" beside it (a stale one is overwritten), flush and sync it,
//   rename it over the file, sync the folder.
// The permission bits (and, where allowed, the owner) of an existing file are kept. A file
// that is not writable is left alone. On any failure the old file is untouched, the
// temporary file is removed and the message says what went wrong.
Status replaceFileContents(const QString& path, const QByteArray& contents);

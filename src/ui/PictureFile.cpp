#include "ui/PictureFile.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include "store/RegularFile.h"
#include "store/SystemError.h"

namespace {

QString notFound(const QString& path) {
  return QStringLiteral("画像ファイル%1が見つかりません").arg(quotedPath(path));
}

QString notAFile(const QString& path) {
  return QStringLiteral(
             "画像ファイル%1は普通のファイルではありません（名前付きパイプや装置などは"
             "画像として読み込めません）")
      .arg(quotedPath(path));
}

// Opens the file for reading when it is a regular file, never waiting for a writer or a device.
bool openPicture(const QString& path, QFile& file, QString* error) {
  using Outcome = RegularFileOpening::Outcome;
  const RegularFileOpening opening = openRegularFile(file, path);
  switch (opening.outcome) {
    case Outcome::Opened:
      return true;
    case Outcome::Missing:
      *error = notFound(path);
      return false;
    case Outcome::Folder:
    case Outcome::NotRegular:
      *error = notAFile(path);
      return false;
    case Outcome::Failed:
      break;
  }
  *error = opening.systemError != 0
               ? QStringLiteral("画像ファイル%1を開けません（%2）")
                     .arg(quotedPath(path), describeSystemError(opening.systemError))
               : QStringLiteral("画像ファイル%1を開けません").arg(quotedPath(path));
  return false;
}

}  // namespace

bool readPictureFile(const QString& path, const QSize& shownSize, QImage* picture, QString* error) {
  *picture = QImage();
  if (path.isEmpty()) return true;
  QFile file;
  if (!openPicture(path, file, error)) return false;

  QImageReader reader(&file);
  const QSize size = reader.size();
  auto unreadable = [&] {
    *error = QStringLiteral("画像ファイル%1を読み込めません（%2）")
                 .arg(quotedPath(path), reader.errorString());
    return false;
  };
  if (!size.isValid()) {
    // Some formats tell their size only by decoding; let the reader say what it finds.
    if (!reader.read(picture)) return unreadable();
    return true;
  }
  const qint64 pixels = qint64(size.width()) * size.height();
  if (pixels > kMaxPicturePixels) {
    *error = QStringLiteral("画像ファイル%1は大きすぎて読み込めません（%2×%3 画素）")
                 .arg(quotedPath(path))
                 .arg(size.width())
                 .arg(size.height());
    return false;
  }
  if (shownSize.isValid() && !shownSize.isEmpty() &&
      (size.width() > shownSize.width() || size.height() > shownSize.height())) {
    // The box stretches the picture to its own size anyway.
    reader.setScaledSize(shownSize);
  }
  // Formats that cannot decode to a smaller size (PNG, BMP, GIF) hold the whole picture for a
  // moment: allow what the largest picture accepted needs, 4 bytes a pixel.
  reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
  if (!reader.read(picture)) return unreadable();
  return true;
}

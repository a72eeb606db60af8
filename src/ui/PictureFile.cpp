#include "ui/PictureFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include "store/SystemError.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

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
bool openRegularFile(const QString& path, QFile& file, QString* error) {
#ifdef Q_OS_UNIX
  const int descriptor =
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    const int code = errno;
    *error = code == ENOENT || code == ENOTDIR
                 ? notFound(path)
                 : QStringLiteral("画像ファイル%1を開けません（%2）")
                       .arg(quotedPath(path), describeSystemError(code));
    return false;
  }
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    *error = notAFile(path);
    return false;
  }
  // A regular file never blocks, so the flag left on the descriptor changes nothing.
  if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(descriptor);
    *error = QStringLiteral("画像ファイル%1を開けません").arg(quotedPath(path));
    return false;
  }
  return true;
#else
  const QFileInfo info(path);
  if (!info.exists()) {
    *error = notFound(path);
    return false;
  }
  if (!info.isFile()) {
    *error = notAFile(path);
    return false;
  }
  file.setFileName(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("画像ファイル%1を開けません（%2）")
                 .arg(quotedPath(path), file.errorString());
    return false;
  }
  return true;
#endif
}

}  // namespace

bool readPictureFile(const QString& path, const QSize& shownSize, QImage* picture, QString* error) {
  *picture = QImage();
  if (path.isEmpty()) return true;
  QFile file;
  if (!openRegularFile(path, file, error)) return false;

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

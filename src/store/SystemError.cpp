#include "store/SystemError.h"

#include <QDir>
#include <cerrno>
#include <cstring>

QString describeSystemError(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
      return QStringLiteral("ファイルまたはフォルダが見つかりません");
    case EACCES:
    case EPERM:
      return QStringLiteral("アクセスが拒否されました（書き込み禁止か、権限がありません）");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return QStringLiteral("ディスクの空き容量が足りません");
    case EROFS:
      return QStringLiteral("読み取り専用の場所です");
    case EIO:
      return QStringLiteral("入出力エラーが発生しました");
    case EISDIR:
      return QStringLiteral("ファイルではなくフォルダです");
    case ENOTDIR:
      return QStringLiteral("途中のフォルダが見つかりません");
    case ENAMETOOLONG:
      return QStringLiteral("ファイル名が長すぎます");
    case EMFILE:
    case ENFILE:
      return QStringLiteral("開いているファイルが多すぎます");
    case EXDEV:
      return QStringLiteral("別のドライブへは置き換えられません");
    case ELOOP:
      return QStringLiteral("シンボリックリンクが循環しています");
    default:
      return QStringLiteral("システムエラー %1（%2）")
          .arg(errorNumber)
          .arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
  }
}

QString quotedPath(const QString& path) {
  return QStringLiteral("「%1」").arg(QDir::toNativeSeparators(path));
}

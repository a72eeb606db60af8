#pragma once

#include <QDir>
#include <QString>

#include "store/AtomicFile.h"

// While it lives, every rewrite of a data file in the folder fails to create its temporary
// file: the one name the store is told to use is taken by a folder.
class BlockedRewrite {
 public:
  explicit BlockedRewrite(const QString& folder)
      : blocker_(QDir(folder).filePath(kTemporaryFilePrefix + QStringLiteral("blocked"))) {
    storetesting::setTemporarySuffix(QStringLiteral("blocked"));
    QDir().mkpath(blocker_ + QStringLiteral("/inside"));
  }
  ~BlockedRewrite() {
    QDir(blocker_).removeRecursively();
    storetesting::setTemporarySuffix(QString());
  }
  BlockedRewrite(const BlockedRewrite&) = delete;
  BlockedRewrite& operator=(const BlockedRewrite&) = delete;

 private:
  QString blocker_;
};

#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// Keeps a second copy of the program from running beside the first: both would write the
// same temporary file. A lock left by a copy that died is taken over, because the lock file
// names the process that holds it and that process no longer runs.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(QString lockFilePath);
  // True when this process holds the lock (now or from an earlier call).
  bool acquire();

  // The per-user lock file used by the program.
  static QString defaultPath();

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};

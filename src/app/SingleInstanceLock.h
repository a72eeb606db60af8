#pragma once

#include <QString>
#include <memory>

#include "shared/Platform.h"

class QLockFile;

// The user's private runtime folder: $XDG_RUNTIME_DIR when it is a folder of this user's that
// no one else may enter, otherwise <temp>/yotenna-<uid>, made with mode 0700 when missing.
// The lock and the socket of the running copy live there, where no other user can plant or
// remove anything. `path` is empty when neither folder can be used; `error` then says why.
struct RuntimeFolder {
  QString path;
  QString error;
};
RuntimeFolder privateRuntimeFolder();

// Keeps a second copy of the program from running beside the first. The lock is a kernel lock
// (flock) on an open file: it goes with the process that holds it, however that process ends,
// so a leftover file, empty or not, never locks anyone out.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(QString lockFilePath);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // Held once this process has the lock (now or from an earlier call); AnotherCopyRuns when
  // another process holds it; Unavailable, with the reason, when the lock cannot be made.
  InstanceLock acquire();

  // The lock file in a runtime folder.
  static QString pathIn(const QString& folder);

 private:
  QString path_;
#ifdef Q_OS_WIN
  std::unique_ptr<QLockFile> lock_;
#else
  int descriptor_ = -1;  // the open lock file while the lock is held
#endif
};

#pragma once

#include <QFile>
#include <QString>

// Opens a file for reading only when it is a regular file, and never waits: a named pipe would
// block the program until someone writes into it, a device such as /dev/zero never ends. The
// file is opened without blocking and the open file is asked what it is, so the answer is about
// the very file that is then read, not about whatever the name meant a moment before.
struct RegularFileOpening {
  enum class Outcome {
    Opened,
    Missing,     // no such file (or a folder on the way is none)
    Folder,      // a folder
    NotRegular,  // a named pipe, a device, a socket
    Failed,      // it could not be opened
  };
  Outcome outcome = Outcome::Failed;
  // The system's error number where the system refused (Missing, Failed); 0 when Qt did, and
  // then the file's errorString() says why.
  int systemError = 0;
  qint64 size = 0;  // of the opened file

  bool opened() const { return outcome == Outcome::Opened; }
};

// Opens `file` (its name is set to `path`) read-only with the extra `flags` (Unbuffered, say).
RegularFileOpening openRegularFile(QFile& file, const QString& path,
                                   QIODevice::OpenMode flags = {});

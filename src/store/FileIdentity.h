#pragma once

#include <QtGlobal>
#include <optional>

// What tells one state of a file from another without reading it: its device and inode (a
// rewrite puts another file in the name's place), its size and its times of change (every
// write moves them). For passes that reuse what an earlier pass over the very same file found.
struct FileIdentity {
  quint64 device = 0;
  quint64 inode = 0;
  qint64 size = -1;
  qint64 modified = 0;  // nanoseconds
  qint64 changed = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of an open file; none where the system cannot tell (and on Windows).
std::optional<FileIdentity> fileIdentity(int fd);

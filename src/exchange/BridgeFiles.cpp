#include "exchange/BridgeState.h"

// The bridge's two writes: the data file through the rewrite, the items through a temporary
// file each and a rename.

namespace vdirbridge {

namespace {

bool syncFile(QFile& file) {
#ifdef Q_OS_WIN
  Q_UNUSED(file);
  return true;
#else
  return ::fsync(file.handle()) == 0;
#endif
}

}  // namespace

Status Bridge::writeDataFile() {
  if (!dataChanged_) return Status::success();
  // Entries from the server go where the editor's 追加 puts them: after the entries of their
  // day, before the first older one.
  std::stable_sort(addedEntries_.begin(), addedEntries_.end(),
                   [](const Slot<ScheduleRecord>& a, const Slot<ScheduleRecord>& b) {
                     return dateKeyOf(a.record) > dateKeyOf(b.record);
                   });
  QList<Slot<ScheduleRecord>> entries;
  qsizetype next = 0;
  for (const Slot<ScheduleRecord>& slot : entries_) {
    if (slot.binding == -2) continue;
    const long long key = dateKeyOf(slot.record);
    while (next < addedEntries_.size() && dateKeyOf(addedEntries_[next].record) > key) {
      entries << addedEntries_[next++];
    }
    entries << slot;
  }
  while (next < addedEntries_.size()) entries << addedEntries_[next++];
  QList<Slot<TimerRecord>> timers;
  for (const Slot<TimerRecord>& slot : timers_) {
    if (slot.binding != -2) timers << slot;
  }
  timers << addedTimers_;
  entries_ = entries;
  timers_ = timers;

  RewriteSteps steps;
  steps.schedule = [](const ScheduleRecord&, RecordSink&) {};
  steps.afterSchedule = [this](RecordSink& sink) {
    for (const Slot<ScheduleRecord>& slot : entries_) sink.write(slot.record);
  };
  steps.timer = [](const TimerRecord&, RecordSink&) {};
  steps.afterTimers = [this](RecordSink& sink) {
    for (const Slot<TimerRecord>& slot : timers_) sink.write(slot.record);
  };
  return rewriteDataFile(options_.dataFile, steps).status;
}

Status Bridge::writeFolder() {
  const QDir folder(options_.vdir);
  // Each item through a temporary file of its own (vdirsyncer reads only *.ics) and a rename;
  // the contents reach the disk before any rename: a handful of items (a sync after a change)
  // by a sync of each file, more (a first sync writes thousands) by one sync of the file
  // system rather than one per item. That one also waits for whatever else is pending on the
  // disk, which a busy machine makes long, so few items do not use it.
  constexpr qsizetype kSyncEachUpTo = 16;
  const bool syncEach = writes_.size() <= kSyncEachUpTo;
  struct Pending {
    QString temporary;
    QString target;
  };
  QList<Pending> pending;
  auto cleanUp = [&pending] {
    for (const Pending& one : pending) QFile::remove(one.temporary);
  };
  for (const Write& write : writes_) {
    const QString target = folder.filePath(write.href);
    const QString temporary =
        folder.filePath(QStringLiteral(".") + write.href + QStringLiteral(".yotenna-new"));
    QFile file(temporary);
    pending << Pending{temporary, target};
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(write.bytes) != write.bytes.size() || !file.flush() ||
        (syncEach && !syncFile(file))) {
      const QString error = file.errorString();
      cleanUp();
      return Status::failure(
          QStringLiteral("同期フォルダに%1を書けません（%2）。").arg(quotedPath(target), error));
    }
  }
#ifdef Q_OS_LINUX
  if (!syncEach) {
    const int fd =
        ::open(QFile::encodeName(options_.vdir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) {
      cleanUp();
      return Status::failure(
          QStringLiteral("同期フォルダ%1を書き終えられません。").arg(quotedPath(options_.vdir)));
    }
  }
#endif
  for (const Pending& one : pending) {
    if (::rename(QFile::encodeName(one.temporary).constData(),
                 QFile::encodeName(one.target).constData()) != 0) {
      cleanUp();
      return Status::failure(
          QStringLiteral("同期フォルダに%1を書けません。").arg(quotedPath(one.target)));
    }
  }
  for (const Write& write : writes_) {
    writtenStamps_.insert(write.href, fileStamp(folder.filePath(write.href)));
  }
  for (const QString& href : removals_) {
    QFile file(folder.filePath(href));
    if (file.exists() && !file.remove()) {
      return Status::failure(QStringLiteral("同期フォルダの%1を消せません（%2）。")
                                 .arg(quotedPath(file.fileName()), file.errorString()));
    }
  }
#ifndef Q_OS_WIN
  const int fd =
      ::open(QFile::encodeName(options_.vdir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
#endif
  return Status::success();
}

}  // namespace vdirbridge

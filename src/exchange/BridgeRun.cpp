#include "exchange/BridgeState.h"

namespace vdirbridge {

Status Bridge::readFolder() {
  QDir folder(options_.vdir);
  if (!folder.exists() && !QDir().mkpath(options_.vdir)) {
    return Status::failure(
        QStringLiteral("同期フォルダ%1を作れません。").arg(quotedPath(options_.vdir)));
  }
  // What a run stopped between its writes and its renames left behind.
  for (const QString& left :
       folder.entryList({QStringLiteral(".*.yotenna-new")}, QDir::Files | QDir::Hidden)) {
    QFile::remove(folder.filePath(left));
  }
  QHash<QString, const StateItem*> remembered;
  for (const StateItem& item : oldState_) remembered.insert(item.href, &item);
  const QStringList names = folder.entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
  folderItems_.reserve(names.size());
  for (const QString& name : names) {
    FolderItem item;
    item.href = name;
    item.stamp = fileStamp(folder.filePath(name));
    const StateItem* known = remembered.value(name);
    // Named by the state: never taken for a record by its meaning, so not read for that.
    item.known = known != nullptr;
    if (known && !item.stamp.isEmpty() && known->stamp == item.stamp) {
      item.hash = known->hash;  // the file of the last run: its bytes are read when needed
    } else {
      const CalendarFile read = readCalendarFile(folder.filePath(name));
      if (read.refusal) return Status::failure(*read.refusal);
      item.read = true;
      item.bytes = read.bytes;
      item.hash = digest(read.bytes);
    }
    folderIndex_.insert(name, static_cast<int>(folderItems_.size()));
    folderItems_.push_back(std::move(item));
  }
  return Status::success();
}

const QByteArray& Bridge::bytesOf(FolderItem& item) {
  if (!item.read) {
    item.read = true;
    const CalendarFile read = readCalendarFile(QDir(options_.vdir).filePath(item.href));
    if (read.refusal && failure_) failure_ = Status::failure(*read.refusal);
    item.bytes = read.bytes;
  }
  return item.bytes;
}

const Mapped& Bridge::mappedOf(FolderItem& item) {
  if (!item.mappedYet) {
    item.mapped = mapItem(bytesOf(item), importOptions_);
    item.mappedYet = true;
  }
  return item.mapped;
}

int Bridge::bind(const StateItem& item) {
  newState_ << item;
  return static_cast<int>(newState_.size() - 1);
}

// A record that comes from the server: a record here not yet bound that means the same is
// taken for it (a run stopped after its rewrite left it unremembered); otherwise it is added.
void Bridge::adoptOrAdd(const Mapped& mapped, int binding) {
  if (mapped.kind == Kind::Entry) {
    const QString meaning = meaningOf(mapped.entry);
    for (Slot<ScheduleRecord>& slot : entries_) {
      if (slot.binding == -1 && meaningOf(slot.record) == meaning) {
        slot.binding = binding;
        return;
      }
    }
    addedEntries_ << Slot<ScheduleRecord>{mapped.entry, binding};
  } else if (mapped.kind == Kind::Timer) {
    const QString meaning = meaningOf(mapped.timer);
    for (Slot<TimerRecord>& slot : timers_) {
      if (slot.binding == -1 && meaningOf(slot.record) == meaning) {
        slot.binding = binding;
        return;
      }
    }
    addedTimers_ << Slot<TimerRecord>{mapped.timer, binding};
  } else {
    return;
  }
  ++report_.recordsAdded;
  dataChanged_ = true;
}

template <typename Record>
QByteArray Bridge::exported(const Record& record, const QByteArray& uid) {
  return exportItem(record, uid, exportOptions_).ics;
}

QByteArray Bridge::patched(FolderItem& item, const ScheduleRecord& before,
                           const ScheduleRecord& after, const QByteArray& uid) {
  const std::optional<QByteArray> bytes = patchItem(bytesOf(item), before, after, uid);
  return bytes ? *bytes : exported(after, uid.isEmpty() ? itemUid(item.bytes) : uid);
}

QByteArray Bridge::patched(FolderItem& item, const TimerRecord& before, const TimerRecord& after,
                           const QByteArray& uid) {
  const std::optional<QByteArray> bytes =
      patchItem(bytesOf(item), before, after, exportOptions_, uid);
  return bytes ? *bytes : exported(after, uid.isEmpty() ? itemUid(item.bytes) : uid);
}

// The copy kept for this side's version: named after the item and the version, so that a
// run repeated after a stop writes the same file again rather than a second copy.
QByteArray Bridge::conflictUid(const StateItem& item, const QByteArray& line) const {
  return "yotenna-" + digest(item.uid + '\n' + line).left(32);
}

template <typename Record>
void Bridge::decide(int stateIndex, Slot<Record>* slot, bool changedHere, bool goneByRule) {
  const StateItem& old = oldState_[stateIndex];
  const Record before = recordFromLine<Record>(old.line);
  const auto found = folderIndex_.constFind(old.href);
  FolderItem* item = found == folderIndex_.constEnd() ? nullptr : &folderItems_[*found];
  if (item) item->known = true;
  const bool sameThere = item && item->hash == old.hash;

  if (slot && !changedHere) {  // unchanged here
    if (sameThere) {
      slot->binding = bind(old);
      item->claimed = true;
      return;
    }
    if (!item) {  // removed there
      ++report_.recordsRemoved;
      dataChanged_ = true;
      slot->binding = -2;  // dropped from the file
      return;
    }
    item->claimed = true;
    const Mapped& mapped = mappedOf(*item);
    StateItem now{old.uid, old.href, mapped.kind, {}, item->hash};
    if (mapped.kind == kindOf<Record>()) {
      Record replacement;
      if constexpr (std::is_same_v<Record, ScheduleRecord>) {
        replacement = mapped.entry;
      } else {
        replacement = mapped.timer;
      }
      if (meaningOf(replacement) != meaningOf(slot->record)) {
        slot->record = replacement;  // in its place, as the editor's update writes it
        ++report_.recordsChanged;
        dataChanged_ = true;
      }
      slot->binding = bind(now);
    } else {
      ++report_.recordsRemoved;
      dataChanged_ = true;
      slot->binding = -2;
      adoptOrAdd(mapped, bind(now));
    }
    return;
  }

  if (slot) {  // changed here
    const QByteArray line = lineOf(slot->record);
    if (sameThere) {
      item->claimed = true;
      const QByteArray bytes = patched(*item, before, slot->record, {});
      writes_ << Write{old.href, bytes};
      ++report_.itemsWritten;
      slot->binding = bind(StateItem{old.uid, old.href, old.kind, {}, digest(bytes)});
      return;
    }
    if (item) {
      item->claimed = true;
      const Mapped& mapped = mappedOf(*item);
      if (mapped.kind == kindOf<Record>() && mapped.meaning() == meaningOf(slot->record)) {
        // Both sides made the same change (or a stopped run made it on both).
        slot->binding = bind(StateItem{old.uid, old.href, old.kind, {}, item->hash});
        return;
      }
      // Both kept: the other version as a second record, this one as an item of its own.
      report_.conflicts << labelOf(slot->record);
      const QByteArray uid = conflictUid(old, line);
      // The copy is the other item with every field in which this side's version differs
      // from it written over, so that it keeps what this program cannot show.
      QByteArray bytes;
      if (mapped.kind == kindOf<Record>()) {
        if constexpr (std::is_same_v<Record, ScheduleRecord>) {
          bytes = patched(*item, mapped.entry, slot->record, uid);
        } else {
          bytes = patched(*item, mapped.timer, slot->record, uid);
        }
      } else {
        bytes = exported(slot->record, uid);
      }
      const QString href = QString::fromLatin1(uid) + QStringLiteral(".ics");
      writes_ << Write{href, bytes};
      ++report_.itemsWritten;
      if (const auto copy = folderIndex_.constFind(href); copy != folderIndex_.constEnd()) {
        folderItems_[*copy].claimed = true;
      }
      slot->binding = bind(StateItem{uid, href, old.kind, {}, digest(bytes)});
      adoptOrAdd(mapped, bind(StateItem{old.uid, old.href, mapped.kind, {}, item->hash}));
      return;
    }
    // Removed there, changed here: the change is kept, as a new item.
    report_.conflicts << labelOf(slot->record);
    const QByteArray uid = conflictUid(old, line);
    const QString href = QString::fromLatin1(uid) + QStringLiteral(".ics");
    const QByteArray bytes = exported(slot->record, uid);
    if (bytes.isEmpty()) {
      slot->binding = -1;
      return;
    }
    if (const auto copy = folderIndex_.constFind(href); copy != folderIndex_.constEnd()) {
      folderItems_[*copy].claimed = true;
    }
    writes_ << Write{href, bytes};
    ++report_.itemsWritten;
    slot->binding = bind(StateItem{uid, href, old.kind, {}, digest(bytes)});
    return;
  }

  // Gone from the data file.
  if (!item) return;  // gone there too
  if (sameThere) {
    item->claimed = true;
    if (goneByRule && kindOf<Record>() == Kind::Timer) {
      // A timer that rang stays on the server as the past event it is.
      bind(StateItem{old.uid, old.href, Kind::None, {}, old.hash});
      return;
    }
    removals_ << old.href;
    ++report_.itemsRemoved;
    return;
  }
  // Removed here, changed there: the changed version comes back.
  item->claimed = true;
  const Mapped& mapped = mappedOf(*item);
  if (mapped.kind != Kind::None && !goneByRule) report_.conflicts << labelOf(before);
  adoptOrAdd(mapped, bind(StateItem{old.uid, old.href, mapped.kind, {}, item->hash}));
}

// An item that stood for no record at the last run.
void Bridge::decideUnbound(int stateIndex) {
  const StateItem& old = oldState_[stateIndex];
  const auto found = folderIndex_.constFind(old.href);
  if (found == folderIndex_.constEnd()) return;
  FolderItem& item = folderItems_[*found];
  item.known = true;
  item.claimed = true;
  if (item.hash == old.hash) {
    bind(old);
    return;
  }
  const Mapped& mapped = mappedOf(item);
  adoptOrAdd(mapped, bind(StateItem{old.uid, old.href, mapped.kind, {}, item.hash}));
}

template <typename Record>
void Bridge::matchSection(Kind kind, QList<Slot<Record>>& records) {
  // Exact: the n-th remembered record with a line is the n-th record with that line.
  QHash<QByteArray, QList<int>> byLine;
  for (int i = 0; i < records.size(); ++i) byLine[lineOf(records[i].record)] << i;
  QHash<QByteArray, int> taken;
  QList<int> states;  // the remembered records of this section, in file order
  QHash<int, int> slotOfState;
  QList<int> stateOfSlot(records.size(), -1);
  for (int s = 0; s < oldState_.size(); ++s) {
    if (oldState_[s].kind != kind) continue;
    states << s;
    const QList<int>& candidates = byLine.value(oldState_[s].line);
    int& next = taken[oldState_[s].line];
    if (next < candidates.size()) {
      slotOfState.insert(s, candidates[next]);
      stateOfSlot[candidates[next]] = s;
      ++next;
    }
  }

  // Left by rule rather than changed: a timer that rang, an entry the tidy-up removed.
  QSet<int> goneByRule;
  for (int s : states) {
    if (slotOfState.contains(s)) continue;
    if constexpr (std::is_same_v<Record, TimerRecord>) {
      if (hasRung(recordFromLine<TimerRecord>(oldState_[s].line), options_.now)) goneByRule << s;
    } else {
      if (isTidiedAway(recordFromLine<ScheduleRecord>(oldState_[s].line), today_)) {
        goneByRule << s;
      }
    }
  }

  // Records here and items there that no state names but that mean the same are one (the
  // first run over a calendar imported before, or a run stopped before its state was written).
  QHash<QString, QList<int>> newItemsByMeaning;
  for (int i = 0; i < static_cast<int>(folderItems_.size()); ++i) {
    FolderItem& item = folderItems_[i];
    if (item.known || item.claimed) continue;
    const Mapped& mapped = mappedOf(item);
    if (mapped.kind == kind) newItemsByMeaning[mapped.meaning()] << i;
  }
  QSet<int> adopted;
  for (int i = 0; i < records.size(); ++i) {
    if (stateOfSlot[i] >= 0) continue;
    QList<int>& candidates = newItemsByMeaning[meaningOf(records[i].record)];
    while (!candidates.isEmpty() && folderItems_[candidates.front()].claimed) {
      candidates.removeFirst();
    }
    if (candidates.isEmpty()) continue;
    FolderItem& item = folderItems_[candidates.takeFirst()];
    item.claimed = true;
    records[i].binding = bind(StateItem{itemUid(bytesOf(item)), item.href, kind, {}, item.hash});
    adopted << i;
  }

  // A record changed in the editor stays in its place: a remembered record that is gone and a
  // new record between the same unchanged neighbours are one record changed.
  QHash<int, QList<int>> goneInGap;  // the state before the gap -> the states gone in it
  int previous = -1;
  for (int s : states) {
    if (slotOfState.contains(s)) {
      previous = s;
    } else if (!goneByRule.contains(s)) {
      goneInGap[previous] << s;
    }
  }
  QHash<int, int> changedSlotOfState;
  previous = -1;
  for (int i = 0; i < records.size(); ++i) {
    if (stateOfSlot[i] >= 0) {
      previous = stateOfSlot[i];
      continue;
    }
    if (adopted.contains(i)) continue;
    // Of the records gone between the same neighbours, the one most like it; one with nothing
    // in common was removed, and this one added.
    QList<int>& gone = goneInGap[previous];
    int best = -1;
    int bestLikeness = 0;
    for (int g = 0; g < gone.size(); ++g) {
      const int like = likeness(recordFromLine<Record>(oldState_[gone[g]].line), records[i].record);
      if (like > bestLikeness) {
        best = g;
        bestLikeness = like;
      }
    }
    if (best >= 0) changedSlotOfState.insert(gone.takeAt(best), i);
  }

  for (int s : states) {
    if (const auto same = slotOfState.constFind(s); same != slotOfState.constEnd()) {
      decide<Record>(s, &records[*same], false, false);
    } else if (const auto changed = changedSlotOfState.constFind(s);
               changed != changedSlotOfState.constEnd()) {
      decide<Record>(s, &records[*changed], true, false);
    } else {
      decide<Record>(s, nullptr, false, goneByRule.contains(s));
    }
  }
}

template <typename Record>
void Bridge::writeNewItems(QList<Slot<Record>>& records) {
  for (Slot<Record>& slot : records) {
    if (slot.binding != -1) continue;
    const QByteArray uid = newUid();
    const QByteArray bytes = exported(slot.record, uid);
    if (bytes.isEmpty()) continue;  // unreadable date or time: stays here only
    const QString href = QString::fromLatin1(uid) + QStringLiteral(".ics");
    writes_ << Write{href, bytes};
    ++report_.itemsWritten;
    slot.binding = bind(StateItem{uid, href, kindOf<Record>(), {}, digest(bytes)});
  }
}

Status Bridge::run() {
  if (Status read = readState(options_.stateFile, &oldState_, &oldStateBytes_); !read) {
    return read;
  }
  if (Status read = readFolder(); !read) return read;
  if (folderItems_.empty() && !oldState_.isEmpty()) {
    // A folder emptied behind the sync's back would otherwise empty the data file.
    return Status::failure(
        QStringLiteral("同期フォルダ%1が空になっています。データファイルは変えません。"
                       "同期をいったんやめて、設定し直してください。")
            .arg(quotedPath(options_.vdir)));
  }

  const DataFileLock lock(options_.dataFile);
  if (!lock.isHeld()) return lock.status();
  Status scanned = scanSchedule(options_.dataFile, [this](const ScheduleRecord& record) {
    entries_ << Slot<ScheduleRecord>{record, -1};
    return true;
  });
  if (!scanned) return scanned;
  scanned = scanTimers(options_.dataFile, [this](const TimerRecord& record) {
    timers_ << Slot<TimerRecord>{record, -1};
  });
  if (!scanned) return scanned;

  matchSection(Kind::Entry, entries_);
  matchSection(Kind::Timer, timers_);
  for (int s = 0; s < oldState_.size(); ++s) {
    if (oldState_[s].kind == Kind::None) decideUnbound(s);
  }
  // Items that appeared there.
  for (FolderItem& item : folderItems_) {
    if (item.known || item.claimed) continue;
    item.claimed = true;
    const Mapped& mapped = mappedOf(item);
    adoptOrAdd(mapped,
               bind(StateItem{itemUid(bytesOf(item)), item.href, mapped.kind, {}, item.hash}));
  }
  // Records that appeared here.
  writeNewItems(entries_);
  writeNewItems(timers_);
  if (!failure_) return failure_;

  if (Status written = writeDataFile(); !written) return written;
  if (Status written = writeFolder(); !written) return written;

  // The state in file order: entries, timers, then the items that stand for no record.
  QList<StateItem> state;
  state.reserve(newState_.size());
  QSet<int> placed;
  // Each item's file as it is now: the one written, or the one found.
  auto stampOf = [this](const QString& href) {
    if (const auto written = writtenStamps_.constFind(href); written != writtenStamps_.constEnd()) {
      return *written;
    }
    const auto found = folderIndex_.constFind(href);
    return found == folderIndex_.constEnd() ? QByteArray() : folderItems_[*found].stamp;
  };
  auto place = [&](int binding, Kind kind, const QByteArray& line) {
    if (binding < 0 || placed.contains(binding)) return;
    placed << binding;
    StateItem item = newState_[binding];
    item.kind = kind;
    item.line = line;
    item.stamp = stampOf(item.href);
    state << item;
  };
  for (const Slot<ScheduleRecord>& slot : entries_) {
    place(slot.binding, Kind::Entry, lineOf(slot.record));
  }
  for (const Slot<TimerRecord>& slot : timers_) {
    place(slot.binding, Kind::Timer, lineOf(slot.record));
  }
  for (int i = 0; i < newState_.size(); ++i) {
    if (placed.contains(i)) continue;
    StateItem item = newState_[i];
    item.kind = Kind::None;
    item.line.clear();
    item.stamp = stampOf(item.href);
    state << item;
  }
  return writeState(options_.stateFile, state, oldStateBytes_);
}

}  // namespace vdirbridge

BridgeReport bridgeVdir(const BridgeOptions& options) {
  BridgeReport report;
  vdirbridge::Bridge bridge(options, report);
  report.status = bridge.run();
  return report;
}

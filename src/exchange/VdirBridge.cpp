#include "exchange/VdirBridge.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <vector>

#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "exchange/ItemPatch.h"
#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "store/AtomicFile.h"
#include "store/DataFileLock.h"
#include "store/DataFileScan.h"
#include "store/Purge.h"
#include "store/Rewrite.h"
#include "store/SystemError.h"

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

enum class Kind : char { Entry = 'E', Timer = 'T', None = 'N' };

// What the state file remembers of one item.
struct StateItem {
  QByteArray uid;
  QString href;  // its file's name in the folder
  Kind kind = Kind::None;
  QByteArray line;  // the record it stood for at the last run, as a line of the data file
  QByteArray hash;  // the item's bytes at the last run (SHA-256, hex)
};

constexpr int kStateVersion = 1;

QByteArray digest(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

Status readState(const QString& path, QList<StateItem>* items) {
  QFile file(path);
  if (!file.exists()) return Status::success();  // the first run
  if (!file.open(QIODevice::ReadOnly)) {
    return Status::failure(QStringLiteral("同期の記録%1を開けません（%2）。")
                               .arg(quotedPath(path), file.errorString()));
  }
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject() ||
      document.object().value(QStringLiteral("version")).toInt() != kStateVersion) {
    return Status::failure(
        QStringLiteral("同期の記録%1を読めません。同期をいったんやめて、設定し直してください。")
            .arg(quotedPath(path)));
  }
  for (const QJsonValue& value : document.object().value(QStringLiteral("items")).toArray()) {
    const QJsonObject object = value.toObject();
    StateItem item;
    item.uid = object.value(QStringLiteral("uid")).toString().toUtf8();
    item.href = object.value(QStringLiteral("href")).toString();
    const QString kind = object.value(QStringLiteral("kind")).toString();
    item.kind = kind == u"entry" ? Kind::Entry : kind == u"timer" ? Kind::Timer : Kind::None;
    item.line = QByteArray::fromBase64(object.value(QStringLiteral("line")).toString().toLatin1());
    item.hash = object.value(QStringLiteral("hash")).toString().toLatin1();
    if (item.href.isEmpty() || item.href.contains(u'/')) continue;
    if (item.kind != Kind::None && item.line.isEmpty()) item.kind = Kind::None;
    *items << item;
  }
  return Status::success();
}

Status writeState(const QString& path, const QList<StateItem>& items) {
  QJsonArray list;
  for (const StateItem& item : items) {
    QJsonObject object;
    object.insert(QStringLiteral("uid"), QString::fromUtf8(item.uid));
    object.insert(QStringLiteral("href"), item.href);
    object.insert(QStringLiteral("kind"), item.kind == Kind::Entry   ? QStringLiteral("entry")
                                          : item.kind == Kind::Timer ? QStringLiteral("timer")
                                                                     : QStringLiteral("none"));
    if (item.kind != Kind::None) {
      object.insert(QStringLiteral("line"), QString::fromLatin1(item.line.toBase64()));
    }
    object.insert(QStringLiteral("hash"), QString::fromLatin1(item.hash));
    list.append(object);
  }
  QJsonObject root;
  root.insert(QStringLiteral("version"), kStateVersion);
  root.insert(QStringLiteral("items"), list);
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    return Status::failure(QStringLiteral("同期の記録を置くフォルダ%1を作れません。")
                               .arg(quotedPath(QFileInfo(path).absolutePath())));
  }
  return replaceFileContents(path, QJsonDocument(root).toJson(QJsonDocument::Compact));
}

// A record read back from the line the state file keeps.
template <typename Record>
Record recordFromLine(const QByteArray& line) {
  QList<Field> fields;
  QByteArray text = line;
  while (text.endsWith('\n') || text.endsWith('\r')) text.chop(1);
  // The program writes its lines itself: texts quoted, numbers bare, no quote inside a text.
  qsizetype at = 0;
  while (at <= text.size()) {
    if (at < text.size() && text[at] == '"') {
      const qsizetype close = text.indexOf('"', at + 1);
      const qsizetype end = close < 0 ? text.size() : close;
      fields << Field::fromBytes(text.mid(at + 1, end - at - 1), true);
      at = close < 0 ? text.size() + 1 : text.indexOf(',', close);
      if (at < 0) break;
      ++at;
    } else {
      qsizetype comma = text.indexOf(',', at);
      if (comma < 0) comma = text.size();
      fields << Field::fromBytes(text.mid(at, comma - at).trimmed(), false);
      at = comma + 1;
    }
  }
  while (fields.size() < Record::kFieldCount) fields << Field::text(QString());
  return Record::fromFields(fields.mid(0, Record::kFieldCount));
}

QByteArray lineOf(const ScheduleRecord& record) { return encodeLine(record.fields()); }
QByteArray lineOf(const TimerRecord& record) { return encodeLine(record.fields()); }

// What a record means, whatever bytes stand for it: the texts as read, flags by value. Two
// records with one meaning are one record to the sync.
QString meaningOf(const ScheduleRecord& record) {
  return record.EntryDate.toText() + u'\0' + record.Subject.toText() + u'\0' +
         record.Content.toText() + u'\0' + (record.DoneFlag.isSet() ? u'1' : u'0') +
         (record.DeleteFlag.isSet() ? u'1' : u'0');
}
QString meaningOf(const TimerRecord& record) {
  QString meaning;
  for (const Field& field : record.fields()) meaning += field.toText() + u'\0';
  return meaning;
}

QString labelOf(const ScheduleRecord& record) {
  return QStringLiteral("「%1」（%2）").arg(record.Subject.toText(), record.EntryDate.toText());
}
QString labelOf(const TimerRecord& record) {
  return QStringLiteral("「%1」（タイマー）").arg(record.TimerTitle.toText());
}

// The record an item stands for here.
struct Mapped {
  Kind kind = Kind::None;
  ScheduleRecord entry;
  TimerRecord timer;
  QString meaning() const {
    return kind == Kind::Entry   ? meaningOf(entry)
           : kind == Kind::Timer ? meaningOf(timer)
                                 : QString();
  }
};

Mapped mapItem(const QByteArray& ics, const ImportOptions& options) {
  const ImportPlan plan = planImport(ics, options);
  Mapped mapped;
  if (plan.refusal) return mapped;
  if (!plan.schedules.isEmpty()) {
    mapped.kind = Kind::Entry;
    mapped.entry = plan.schedules.front();
  } else if (!plan.timers.isEmpty()) {
    mapped.kind = Kind::Timer;
    mapped.timer = plan.timers.front();
  }
  return mapped;
}

// A once-only timer whose minute has come: the clock has rung it and taken it out of the file.
bool hasRung(const TimerRecord& timer, const QDateTime& now) {
  if (timer.TimerKind.toText() != u"0") return false;
  auto value = [](const Field& field) { return integerValue(field.toText()); };
  const long long moment =
      timerMoment(value(timer.TimerYearOrWeekday), value(timer.TimerMonth), value(timer.TimerDay),
                  value(timer.TimerHour), value(timer.TimerMinute));
  const long long nowMoment = timerMoment(now.date().year(), now.date().month(), now.date().day(),
                                          now.time().hour(), now.time().minute());
  return moment <= nowMoment;
}

// An entry the tidy-up at opening removes: finished, marked for deletion, of a past day.
bool isTidiedAway(const ScheduleRecord& entry, const QDate& today) {
  const std::optional<QDate> date = parseDateText(entry.EntryDate.toText());
  return entry.DoneFlag.isSet() && entry.DeleteFlag.isSet() && date && *date < today;
}

// How much of a record a change in the editor left as it was.
int likeness(const ScheduleRecord& a, const ScheduleRecord& b) {
  return (a.EntryDate.toText() == b.EntryDate.toText() ? 1 : 0) +
         (a.Subject.toText() == b.Subject.toText() ? 1 : 0) +
         (a.Content.toText() == b.Content.toText() ? 1 : 0);
}
int likeness(const TimerRecord& a, const TimerRecord& b) {
  const bool sameDay = a.TimerKind.toText() == b.TimerKind.toText() &&
                       a.TimerYearOrWeekday.toText() == b.TimerYearOrWeekday.toText() &&
                       a.TimerMonth.toText() == b.TimerMonth.toText() &&
                       a.TimerDay.toText() == b.TimerDay.toText();
  const bool sameTime = a.TimerHour.toText() == b.TimerHour.toText() &&
                        a.TimerMinute.toText() == b.TimerMinute.toText();
  return (a.TimerTitle.toText() == b.TimerTitle.toText() ? 1 : 0) + (sameDay ? 1 : 0) +
         (sameTime ? 1 : 0);
}

long long dateKeyOf(const ScheduleRecord& record) {
  const QString text = record.EntryDate.toText();
  const std::optional<QDate> date = parseDateText(text);
  return integerValue(QStringView(text).left(4)) * 1000 + (date ? date->dayOfYear() : 0);
}

// An item file in the folder.
struct FolderItem {
  QString href;
  QByteArray bytes;
  QByteArray hash;
  bool known = false;    // some state item names it
  bool claimed = false;  // a record stands for it now
  bool mappedYet = false;
  Mapped mapped;
};

// A record of the data file as the run will write it, and the state item it is bound to.
template <typename Record>
struct Slot {
  Record record;
  int binding = -1;  // index into the new state list
};

class Bridge {
 public:
  Bridge(const BridgeOptions& options, BridgeReport& report) : options_(options), report_(report) {
    exportOptions_.now = options.now;
    exportOptions_.zoneId = options.zoneId;
    importOptions_ = defaultImportOptions(options.now);
    if (!options.zoneId.isEmpty()) {
      const QTimeZone zone(options.zoneId);
      if (zone.isValid()) {
        importOptions_.localZone = zone;
        importOptions_.now = options.now.toTimeZone(zone);
        importOptions_.rangeFirst = importOptions_.now.date();
        importOptions_.rangeLast = importOptions_.rangeFirst.addYears(1);
      }
    }
    today_ = importOptions_.now.date();
  }

  Status run();

 private:
  Status readFolder();
  const Mapped& mappedOf(FolderItem& item);
  int bind(const StateItem& item);
  void adoptOrAdd(const Mapped& mapped, int binding);
  template <typename Record>
  void matchSection(Kind kind, QList<Slot<Record>>& records);
  template <typename Record>
  void decide(int stateIndex, Slot<Record>* slot, bool changedHere, bool goneByRule);
  void decideUnbound(int stateIndex);
  template <typename Record>
  void writeNewItems(QList<Slot<Record>>& records);
  template <typename Record>
  QByteArray exported(const Record& record, const QByteArray& uid);
  QByteArray patched(FolderItem& item, const ScheduleRecord& before, const ScheduleRecord& after,
                     const QByteArray& uid);
  QByteArray patched(FolderItem& item, const TimerRecord& before, const TimerRecord& after,
                     const QByteArray& uid);
  QByteArray conflictUid(const StateItem& item, const QByteArray& line) const;
  Status writeDataFile();
  Status writeFolder();

  const BridgeOptions& options_;
  BridgeReport& report_;
  ExportOptions exportOptions_;
  ImportOptions importOptions_;
  QDate today_;

  QList<StateItem> oldState_;
  QList<StateItem> newState_;
  QHash<QString, int> folderIndex_;  // href -> folderItems_
  std::vector<FolderItem> folderItems_;

  QList<Slot<ScheduleRecord>> entries_;
  QList<Slot<TimerRecord>> timers_;
  QList<Slot<ScheduleRecord>> addedEntries_;  // from the server, placed by date
  QList<Slot<TimerRecord>> addedTimers_;      // from the server, at the end
  bool dataChanged_ = false;

  struct Write {
    QString href;
    QByteArray bytes;
  };
  QList<Write> writes_;
  QStringList removals_;
};

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
  const QStringList names = folder.entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
  folderItems_.reserve(names.size());
  for (const QString& name : names) {
    const CalendarFile read = readCalendarFile(folder.filePath(name));
    if (read.refusal) return Status::failure(*read.refusal);
    FolderItem item;
    item.href = name;
    item.bytes = read.bytes;
    item.hash = digest(read.bytes);
    folderIndex_.insert(name, static_cast<int>(folderItems_.size()));
    folderItems_.push_back(std::move(item));
  }
  return Status::success();
}

const Mapped& Bridge::mappedOf(FolderItem& item) {
  if (!item.mappedYet) {
    item.mapped = mapItem(item.bytes, importOptions_);
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
  const std::optional<QByteArray> bytes = patchItem(item.bytes, before, after, uid);
  return bytes ? *bytes : exported(after, uid.isEmpty() ? itemUid(item.bytes) : uid);
}

QByteArray Bridge::patched(FolderItem& item, const TimerRecord& before, const TimerRecord& after,
                           const QByteArray& uid) {
  const std::optional<QByteArray> bytes = patchItem(item.bytes, before, after, exportOptions_, uid);
  return bytes ? *bytes : exported(after, uid.isEmpty() ? itemUid(item.bytes) : uid);
}

// The copy kept for this side's version: named after the item and the version, so that a
// run repeated after a stop writes the same file again rather than a second copy.
QByteArray Bridge::conflictUid(const StateItem& item, const QByteArray& line) const {
  return "yotenna-" + digest(item.uid + '\n' + line).left(32);
}

QByteArray newUid() { return "yotenna-" + QUuid::createUuid().toString(QUuid::Id128).toLatin1(); }

template <typename Record>
Kind kindOf();
template <>
Kind kindOf<ScheduleRecord>() {
  return Kind::Entry;
}
template <>
Kind kindOf<TimerRecord>() {
  return Kind::Timer;
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
    records[i].binding = bind(StateItem{itemUid(item.bytes), item.href, kind, {}, item.hash});
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
  // the contents reach the disk in one sync of the file system before any rename, rather than
  // a sync per item: a first sync writes thousands.
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
        file.write(write.bytes) != write.bytes.size() || !file.flush()) {
      const QString error = file.errorString();
      cleanUp();
      return Status::failure(
          QStringLiteral("同期フォルダに%1を書けません（%2）。").arg(quotedPath(target), error));
    }
  }
#ifdef Q_OS_LINUX
  if (!pending.isEmpty()) {
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

Status Bridge::run() {
  if (Status read = readState(options_.stateFile, &oldState_); !read) return read;
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
    adoptOrAdd(mapped, bind(StateItem{itemUid(item.bytes), item.href, mapped.kind, {}, item.hash}));
  }
  // Records that appeared here.
  writeNewItems(entries_);
  writeNewItems(timers_);

  if (Status written = writeDataFile(); !written) return written;
  if (Status written = writeFolder(); !written) return written;

  // The state in file order: entries, timers, then the items that stand for no record.
  QList<StateItem> state;
  state.reserve(newState_.size());
  QSet<int> placed;
  auto place = [&](int binding, Kind kind, const QByteArray& line) {
    if (binding < 0 || placed.contains(binding)) return;
    placed << binding;
    StateItem item = newState_[binding];
    item.kind = kind;
    item.line = line;
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
    state << item;
  }
  return writeState(options_.stateFile, state);
}

}  // namespace

BridgeReport bridgeVdir(const BridgeOptions& options) {
  BridgeReport report;
  Bridge bridge(options, report);
  report.status = bridge.run();
  return report;
}

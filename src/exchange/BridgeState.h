#pragma once
// The pieces of the sync's bridge: what its state file keeps, what a record and an item mean
// to it, and the one run that keeps the data file and the folder of items in step.

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
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "store/TimerView.h"

namespace vdirbridge {

enum class Kind : char { Entry = 'E', Timer = 'T', None = 'N' };

// What the state file remembers of one item.
struct StateItem {
  QByteArray uid;
  QString href;  // its file's name in the folder
  Kind kind = Kind::None;
  QByteArray line;  // the record it stood for at the last run, as a line of the data file
  QByteArray hash;  // the item's bytes at the last run (SHA-256, hex)
  // Its file at the last run (size, times, inode): a file that still has them is the same
  // file and is not read again. vdirsyncer and the bridge write every item through a new file
  // and a rename, so a changed item never keeps them. Empty: read it.
  QByteArray stamp = {};
};

inline constexpr int kStateVersion = 1;

inline QByteArray digest(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// What tells a file from its successor without reading it; empty when that cannot be told.
inline QByteArray fileStamp(const QString& path) {
#ifdef Q_OS_WIN
  Q_UNUSED(path);
  return {};
#else
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {};
  return QByteArray::number(static_cast<qint64>(info.st_size)) + ':' +
         QByteArray::number(static_cast<qint64>(info.st_mtim.tv_sec)) + '.' +
         QByteArray::number(static_cast<qint64>(info.st_mtim.tv_nsec)) + ':' +
         QByteArray::number(static_cast<qint64>(info.st_ctim.tv_sec)) + '.' +
         QByteArray::number(static_cast<qint64>(info.st_ctim.tv_nsec)) + ':' +
         QByteArray::number(static_cast<quint64>(info.st_ino));
#endif
}

// bytes: the state file as read, so that a run that changes nothing need not write it again.
inline Status readState(const QString& path, QList<StateItem>* items, QByteArray* bytes) {
  QFile file(path);
  if (!file.exists()) return Status::success();  // the first run
  if (!file.open(QIODevice::ReadOnly)) {
    return Status::failure(QStringLiteral("同期の記録%1を開けません（%2）。")
                               .arg(quotedPath(path), file.errorString()));
  }
  QJsonParseError error{};
  *bytes = file.readAll();
  const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
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
    item.stamp = object.value(QStringLiteral("file")).toString().toLatin1();
    if (item.href.isEmpty() || item.href.contains(u'/')) continue;
    if (item.kind != Kind::None && item.line.isEmpty()) item.kind = Kind::None;
    *items << item;
  }
  return Status::success();
}

inline Status writeState(const QString& path, const QList<StateItem>& items,
                         const QByteArray& previous) {
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
    if (!item.stamp.isEmpty())
      object.insert(QStringLiteral("file"), QString::fromLatin1(item.stamp));
    list.append(object);
  }
  QJsonObject root;
  root.insert(QStringLiteral("version"), kStateVersion);
  root.insert(QStringLiteral("items"), list);
  const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);
  if (bytes == previous) return Status::success();
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    return Status::failure(QStringLiteral("同期の記録を置くフォルダ%1を作れません。")
                               .arg(quotedPath(QFileInfo(path).absolutePath())));
  }
  return replaceFileContents(path, bytes);
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

inline QByteArray lineOf(const ScheduleRecord& record) { return encodeLine(record.fields()); }
inline QByteArray lineOf(const TimerRecord& record) { return encodeLine(record.fields()); }

// What a record means, whatever bytes stand for it: the texts as read, flags by value. Two
// records with one meaning are one record to the sync.
inline QString meaningOf(const ScheduleRecord& record) {
  return record.EntryDate.toText() + u'\0' + record.Subject.toText() + u'\0' +
         record.Content.toText() + u'\0' + (record.DoneFlag.isSet() ? u'1' : u'0') +
         (record.DeleteFlag.isSet() ? u'1' : u'0');
}
inline QString meaningOf(const TimerRecord& record) {
  QString meaning;
  for (const Field& field : record.fields()) meaning += field.toText() + u'\0';
  return meaning;
}

inline QString labelOf(const ScheduleRecord& record) {
  return QStringLiteral("「%1」（%2）").arg(record.Subject.toText(), record.EntryDate.toText());
}
inline QString labelOf(const TimerRecord& record) {
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

inline Mapped mapItem(const QByteArray& ics, const ImportOptions& options) {
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
inline bool hasRung(const TimerRecord& timer, const QDateTime& now) {
  const TimerView view(timer);
  if (view.kindByText() != AlarmKind::Once) return false;
  const TimerMomentValues parts = view.momentValues();
  const long long moment =
      timerMoment(parts.year, parts.month, parts.day, parts.hour, parts.minute);
  const long long nowMoment = timerMoment(now.date().year(), now.date().month(), now.date().day(),
                                          now.time().hour(), now.time().minute());
  return moment <= nowMoment;
}

// An entry the tidy-up at opening removes: finished, marked for deletion, of a past day.
inline bool isTidiedAway(const ScheduleRecord& entry, const QDate& today) {
  const std::optional<QDate> date = parseDateText(entry.EntryDate.toText());
  return entry.DoneFlag.isSet() && entry.DeleteFlag.isSet() && date && *date < today;
}

// How much of a record a change in the editor left as it was.
inline int likeness(const ScheduleRecord& a, const ScheduleRecord& b) {
  return (a.EntryDate.toText() == b.EntryDate.toText() ? 1 : 0) +
         (a.Subject.toText() == b.Subject.toText() ? 1 : 0) +
         (a.Content.toText() == b.Content.toText() ? 1 : 0);
}
inline int likeness(const TimerRecord& a, const TimerRecord& b) {
  const bool sameDay = a.TimerKind.toText() == b.TimerKind.toText() &&
                       a.TimerYearOrWeekday.toText() == b.TimerYearOrWeekday.toText() &&
                       a.TimerMonth.toText() == b.TimerMonth.toText() &&
                       a.TimerDay.toText() == b.TimerDay.toText();
  const bool sameTime = a.TimerHour.toText() == b.TimerHour.toText() &&
                        a.TimerMinute.toText() == b.TimerMinute.toText();
  return (a.TimerTitle.toText() == b.TimerTitle.toText() ? 1 : 0) + (sameDay ? 1 : 0) +
         (sameTime ? 1 : 0);
}

inline long long dateKeyOf(const ScheduleRecord& record) {
  const QString text = record.EntryDate.toText();
  const std::optional<QDate> date = parseDateText(text);
  return integerValue(QStringView(text).left(4)) * 1000 + (date ? date->dayOfYear() : 0);
}

// An item file in the folder. Its bytes are read when its stamp is not the state's (or when
// they are needed).
struct FolderItem {
  QString href;
  QByteArray stamp = {};
  bool read = false;
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

inline QByteArray newUid() {
  return "yotenna-" + QUuid::createUuid().toString(QUuid::Id128).toLatin1();
}

template <typename Record>
Kind kindOf();
template <>
inline Kind kindOf<ScheduleRecord>() {
  return Kind::Entry;
}
template <>
inline Kind kindOf<TimerRecord>() {
  return Kind::Timer;
}

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
  const QByteArray& bytesOf(FolderItem& item);
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
  QByteArray oldStateBytes_;
  Status failure_ = Status::success();  // of a file read late
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
  QHash<QString, QByteArray> writtenStamps_;  // href -> its new file's stamp
};

}  // namespace vdirbridge

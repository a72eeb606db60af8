#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "store/FileIdentity.h"
#include "store/Record.h"
#include "store/Status.h"

class DataFileReader;

// Reads every schedule record up to the timer marker (or the end of a file without one).
// The visitor returns false to stop early.
Status scanSchedule(const QString& path, const std::function<bool(const ScheduleRecord&)>& visit);

// A schedule record as it stands in the reader's buffer: valid only while it is visited. For
// a scan that looks at every record but keeps few (the search).
struct ScheduleRecordView {
  std::array<QByteArrayView, ScheduleRecord::kFieldCount> fields;
  std::array<bool, ScheduleRecord::kFieldCount> quoted{};
  ScheduleRecord toRecord() const;
};

// scanSchedule without copying a field: the visitor sees views.
Status scanScheduleViews(const QString& path,
                         const std::function<bool(const ScheduleRecordView&)>& visit);

// scanScheduleViews for a search: only the records that may hold one of `needles` (at most
// eight byte strings, none with a quote, comma or line end) in their field number `field`, and
// whose field fieldHolds(bytes) then accepts, are visited, found with a byte search; so are all
// the records where the file is not laid out as the program writes it. The visitor still
// decides.
Status scanScheduleViewsHolding(const QString& path, int field, const QList<QByteArray>& needles,
                                const std::function<bool(QByteArrayView)>& fieldHolds,
                                const std::function<bool(const ScheduleRecordView&)>& visit);

// Reads the run of schedule records whose date starts with the month key "yyyy/mm" and stops
// after it: records are ordered by date, so one month's records stand together. Should a
// month's records appear in two runs, only the first is seen.
Status scanMonth(const QString& path, int year, int month,
                 const std::function<void(const ScheduleRecord&)>& visit);

// Skips the schedule records and the marker, then reads every timer record to the end.
Status scanTimers(const QString& path, const std::function<void(const TimerRecord&)>& visit);

// While one lives, the scans of its thread remember where they found a month's records and the
// timer marker, and a later scan of the same file, unchanged, starts there: views shown together
// pass over the file once between them. The file counts as unchanged while the open file is the
// same one (device and inode) with the same size and times of change; a rewrite replaces it by
// another. Sessions nest; the outermost one holds what was found.
class ScanSession {
 public:
  ScanSession();
  ~ScanSession();
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

 private:
  bool outermost_ = false;
};

// Where the marker of the file the reader has open (at `path`) starts, when the file is still
// the one in which the scans of the living session found it, or, outside them, the last pass
// that found or wrote it, and a marker record starts there (for the scans of the timers, and a
// rewrite that copies the schedule records before it as they stand).
std::optional<qint64> knownMarkerOffset(const QString& path, DataFileReader& reader);

// Where the marker of that file, as it is now, starts: found by a scan, or written by a rewrite.
void rememberMarkerOffset(const QString& path, const FileIdentity& identity, qint64 offset);

// "yyyy/mm" of a month, as the first seven characters of an EntryDate.
QByteArray monthKey(int year, int month);

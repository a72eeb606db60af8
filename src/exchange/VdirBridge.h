#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "store/Status.h"

// Keeps a data file and a vdir (a folder of .ics files, one calendar item each, which
// vdirsyncer keeps in step with a CalDAV server) in step, both ways.
//
// A state file beside neither remembers, for each item, its UID, its file in the folder, the
// record it stands for (the record's line as it was at the last sync) and a digest of the item
// as last seen. From these one run tells, on each side, what was added, changed or removed
// since the last run:
//   - a record is found again by its line; records with the same line by their order. A record
//     whose line is no longer there was changed in the editor when a new record stands in its
//     place (between the same unchanged neighbours), and was removed otherwise. So the editor
//     needs to know nothing of sync, and a changed record keeps its UID;
//   - an item is changed when its bytes differ from the digest, removed when its file is gone.
// Then:
//   - a record added here gets a new item; a record changed here has only the fields it changed
//     written into its item (everything else of the item stays); a record removed here has its
//     item removed;
//   - an item added, changed or removed there adds, replaces (in its place) or removes its
//     record, in one rewrite of the data file under its lock;
//   - changed on both sides to different things: both are kept — the record here stays and gets
//     an item of its own (a copy of the other one with this side's changes), and the other
//     version comes in as a second record; the report names it once. Changed on one side and
//     removed on the other: the changed one is kept;
//   - a once-only timer that rang (and so left the data file) stays on the server as the past
//     event it is, and is not brought back;
//   - an entry the tidy-up removed at opening (finished, marked 削除, of a past day) is removed
//     from the server too, as the user asked by marking it;
//   - an item that stands for no record here (a repeating alarm the timers cannot follow, an
//     item of another kind) stays on the server untouched and is remembered, not read again
//     until it changes.
// An item from elsewhere becomes an entry on its first day (its first day from today on when
// it repeats), its texts fitted as the iCalendar import fits them; an item this program wrote
// for a timer becomes the timer again.
//
// Stopped at any moment, a run leaves the data file as it was or completely rewritten, each
// item file old or new and the state file old or new (each written through a temporary file
// and a rename). The next run completes it without duplicates: a record here and an item there
// that are not in the state but stand for the same thing are taken as one.

struct BridgeOptions {
  QString dataFile;
  QString vdir;       // the folder of .ics items
  QString stateFile;  // created by the first run
  QDateTime now;
  QByteArray zoneId;  // the zone of the timers' items; empty for the machine's
};

struct BridgeReport {
  Status status = Status::success();
  int recordsAdded = 0;  // in the data file
  int recordsChanged = 0;
  int recordsRemoved = 0;
  int itemsWritten = 0;  // in the folder (new or changed)
  int itemsRemoved = 0;
  // One line per item both sides changed: 「件名」（2026/12/10）
  QStringList conflicts;
};

// One run. On a failure (the data file cannot be read or rewritten, an item or the state file
// cannot be written) the status says why; what was written before stays consistent as above.
BridgeReport bridgeVdir(const BridgeOptions& options);

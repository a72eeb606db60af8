#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "exchange/IcalExport.h"
#include "store/Record.h"

// Changing one item of a synced calendar (one .ics file, one event with its repetitions) so
// that it stands for a changed record, writing only the fields the record changed: whatever
// else the item holds (its time of day, location, full description, attendees, other alarms,
// properties this program has never heard of) stays as it was.

// The UID of the item's event or to-do; empty when it has none or cannot be read.
QByteArray itemUid(const QByteArray& ics);

// The item with the fields in which `after` differs from `before` written into it: for an
// entry the date (the event moved by as many days, its time of day and length kept), the
// subject, the content and the two flags; for a timer the title, its moment or repetition, and
// the picture. A text that stayed the same is not written, so text CP932 cannot hold (shown as
// 〓 here) stays as it is on the server. newUid, when set, becomes the item's UID (a copy kept
// beside the original). Nothing when the item cannot be read.
std::optional<QByteArray> patchItem(const QByteArray& ics, const ScheduleRecord& before,
                                    const ScheduleRecord& after, const QByteArray& newUid = {});
std::optional<QByteArray> patchItem(const QByteArray& ics, const TimerRecord& before,
                                    const TimerRecord& after, const ExportOptions& options,
                                    const QByteArray& newUid = {});

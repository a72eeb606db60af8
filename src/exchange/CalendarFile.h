#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The bytes of a calendar file, or why it is refused: a file that cannot be read, is no
// regular file or is too large to be a calendar is not read at all.
struct CalendarFile {
  QByteArray bytes;
  std::optional<QString> refusal;
};
CalendarFile readCalendarFile(const QString& path);

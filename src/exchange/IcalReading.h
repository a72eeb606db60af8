#pragma once
// The import's first part: a calendar file's bytes as libical's tree of components, or why the
// file is refused as a whole. The second part (IcalOccurrences.h) finds where each item occurs,
// the third (IcalImport.cpp) turns the occurrences into records.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "exchange/LibIcal.h"

struct ParsedCalendar {
  ical::ComponentPtr root;
  std::vector<icalcomponent*> calendars;  // the VCALENDAR components, within root
  std::optional<QString> refusal;         // set when the file is not read at all
};

// Parses the bytes as iCalendar: UTF-8, UTF-16 or, failing those, Shift-JIS. A file that is
// empty, holds no calendar or is not well-formed is refused with the parser's own words.
ParsedCalendar parseCalendar(const QByteArray& icsBytes);

// A property libical dropped from a component while reading, as its X-LIC-ERROR tells.
struct DroppedProperty {
  QString name;     // upper case; empty when the message names none
  QString message;  // libical's own words
  bool emptyText;   // an empty value where any text is allowed: no error at all
};

// The properties libical dropped from the component (not from its children) while reading.
std::vector<DroppedProperty> droppedProperties(icalcomponent* component);

// The TZID parameter of a property, or null.
const char* tzidParameter(icalproperty* property);

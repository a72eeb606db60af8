#pragma once

#include <QString>

// Something that does not cross between the data file and a calendar file, and why.
struct ExchangeIssue {
  QString item;    // what the user knows it by: its subject or title, and its date
  QString reason;  // Japanese
  friend bool operator==(const ExchangeIssue&, const ExchangeIssue&) = default;
};

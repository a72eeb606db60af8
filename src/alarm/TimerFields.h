#pragma once
// How the clock reads a timer's fields: exactly as the clock's own texts are written, so that
// a field typed another way (one digit, blanks, full-width digits) never matches.

#include <QString>
#include <optional>

// The value of a text made of exactly `digits` ASCII digits within [low, high] ("hh", "nn",
// "mm", "dd", "yyyy"); anything else has no value.
std::optional<int> fixedDigits(const QString& text, int digits, int low, int high);

// The weekday of a weekday kanji, Sunday 0 ... Saturday 6.
std::optional<int> weekdayOfKanji(const QString& text);

#pragma once

#include "calendar/Astronomy.h"

// The new moons and terms of the years the marks need, computed with libnova when the program
// is built (tools/koyomi_events writes them): looking a year up costs nothing, where computing
// it costs tens of milliseconds.
namespace koyomi::builtin {

// The sun's longitudes besides the terms that seasonal days start at: 入梅, 半夏生 and the four
// 土用 (near the terms 75 + 5 days, 90 + 10 days, and 3 days before 300, 30, 120 and 210).
inline constexpr int kSeasonLongitudes[6] = {80, 100, 297, 27, 117, 207};

struct YearEventsTable {
  int newMoonCount;
  double newMoons[14];
  int termCount;
  astronomy::SolarTerm terms[24];
  double seasons[6];  // the instants of kSeasonLongitudes in the year
};

// Where to start looking for the instant of kSeasonLongitudes[i]: next to the term it follows
// or precedes.
inline double seasonGuess(int i, double termInstant(int longitude)) {
  static constexpr int kNearTerm[6] = {75, 90, 300, 30, 120, 210};
  static constexpr double kDaysFrom[6] = {5, 10, -3, -3, -3, -3};
  return termInstant(kNearTerm[i]) + kDaysFrom[i];
}

extern const int kFirstEventYear;
extern const int kLastEventYear;
extern const YearEventsTable kYears[];

}  // namespace koyomi::builtin

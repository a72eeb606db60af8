#pragma once

#include <QDate>
#include <vector>

// The sun and the moon as the Japanese lunisolar calendar needs them: the instants of the new
// moons and of the sun's apparent ecliptic longitude crossing a multiple of 15 degrees. The
// positions are libnova's (VSOP87 for the sun, ELP 2000-82B for the moon); instants are Julian
// days in Universal Time.
namespace astronomy {

// TT - UT in seconds at a Julian day (UT): the polynomials of Espenak and Meeus (NASA, 2006),
// which follow the observed values to 2005 and extrapolate after it.
double deltaT(double jdUt);

// The sun's apparent geocentric longitude (of date, degrees 0..360) at a Julian day (UT).
double solarLongitude(double jdUt);

// The moon's minus the sun's apparent longitude, degrees in (-180, 180], at a Julian day (UT).
double lunarElongation(double jdUt);

// The new moons whose instant falls in the given Gregorian year, in Japan Standard Time.
std::vector<double> newMoonsOfYear(int year);

struct SolarTerm {
  int longitude = 0;  // 0, 15, ..., 345
  double jdUt = 0;
};

// The 24 instants of the year (JST) the sun's longitude reaches a multiple of 15 degrees, in
// time order (小寒 of early January first).
std::vector<SolarTerm> solarTermsOfYear(int year);

// The instant the sun's longitude reaches the given degree, found near a Julian day (UT).
double solarLongitudeInstant(double degrees, double nearJdUt);

// The date in Japan Standard Time (UTC+9) of a Julian day (UT).
QDate jstDate(double jdUt);

// Minutes of a Julian day (UT) after midnight JST, 0 <= m < 1440.
double jstMinuteOfDay(double jdUt);

}  // namespace astronomy

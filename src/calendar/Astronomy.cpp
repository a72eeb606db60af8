#include "calendar/Astronomy.h"

#include <libnova/dynamical_time.h>
#include <libnova/lunar.h>
#include <libnova/nutation.h>
#include <libnova/solar.h>

#include <cmath>
#include <numbers>

namespace astronomy {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kArcsecond = kDegree / 3600.0;
constexpr double kJ2000 = 2451545.0;
constexpr double kJstOffsetDays = 9.0 / 24.0;
// ELP 2000-82B truncated at this level stays within about half an arcsecond of the full series
// over 1873-2100 (a second of a new moon's time) and is twenty times faster than it.
constexpr double kLunarPrecision = 1e-7;

double normalized(double degrees) {
  const double d = std::fmod(degrees, 360.0);
  return d < 0 ? d + 360.0 : d;
}

double signedAngle(double degrees) {
  const double d = normalized(degrees);
  return d > 180.0 ? d - 360.0 : d;
}

// libnova's sun and moon are referred to the ecliptic and equinox of J2000 (and its own
// ecliptic precession, ln_get_ecl_prec, returns zeros), so they are carried to the mean
// ecliptic and equinox of date here with the IAU 1976 angles (Meeus, Astronomical Algorithms,
// 21.5-21.7).
double longitudeOfDate(double lngJ2000, double latJ2000, double jde) {
  const double t = (jde - kJ2000) / 36525.0;
  const double eta = (47.0029 * t - 0.03302 * t * t + 0.000060 * t * t * t) * kArcsecond;
  const double bigPi = 174.876384 * kDegree + (-869.8089 * t + 0.03536 * t * t) * kArcsecond;
  const double p = (5029.0966 * t + 1.11113 * t * t - 0.000006 * t * t * t) * kArcsecond;
  const double l0 = lngJ2000 * kDegree;
  const double b0 = latJ2000 * kDegree;
  const double a =
      std::cos(eta) * std::cos(b0) * std::sin(bigPi - l0) - std::sin(eta) * std::sin(b0);
  const double b = std::cos(b0) * std::cos(bigPi - l0);
  return normalized((p + bigPi - std::atan2(a, b)) / kDegree);
}

double jdeOf(double jdUt) { return jdUt + deltaT(jdUt) / 86400.0; }

// The sun's longitude of date without nutation, with the annual aberration.
double solarLongitudeMean(double jde) {
  ln_helio_posn sun{};
  ln_get_solar_geom_coords(jde, &sun);
  return longitudeOfDate(sun.L, sun.B, jde) - 20.4898 / 3600.0 / sun.R;
}

// The days after the mean new moon number k (k = 0 on 2000-01-06), Meeus 49.1.
double meanNewMoonJde(double k) {
  const double t = k / 1236.85;
  return 2451550.09766 + 29.530588861 * k + 0.00015437 * t * t;
}

}  // namespace

double deltaT(double jdUt) {
  const double y = 2000.0 + (jdUt - 2451544.5) / 365.2425;
  if (y < 1900) {
    const double t = y - 1860;
    return 7.62 + 0.5737 * t - 0.251754 * t * t + 0.01680668 * t * t * t -
           0.0004473624 * std::pow(t, 4) + std::pow(t, 5) / 233174.0;
  }
  if (y < 1920) {
    const double t = y - 1900;
    return -2.79 + 1.494119 * t - 0.0598939 * t * t + 0.0061966 * t * t * t -
           0.000197 * std::pow(t, 4);
  }
  if (y < 1941) {
    const double t = y - 1920;
    return 21.20 + 0.84493 * t - 0.076100 * t * t + 0.0020936 * t * t * t;
  }
  if (y < 1961) {
    const double t = y - 1950;
    return 29.07 + 0.407 * t - t * t / 233.0 + t * t * t / 2547.0;
  }
  if (y < 1986) {
    const double t = y - 1975;
    return 45.45 + 1.067 * t - t * t / 260.0 - t * t * t / 718.0;
  }
  if (y < 2005) {
    const double t = y - 2000;
    return 63.86 + 0.3345 * t - 0.060374 * t * t + 0.0017275 * t * t * t +
           0.000651814 * std::pow(t, 4) + 0.00002373599 * std::pow(t, 5);
  }
  if (y < 2050) {
    const double t = y - 2000;
    return 62.92 + 0.32217 * t + 0.005589 * t * t;
  }
  const double u = (y - 1820) / 100.0;
  return -20 + 32 * u * u - 0.5628 * (2150 - y);
}

double solarLongitude(double jdUt) {
  const double jde = jdeOf(jdUt);
  ln_nutation nutation{};
  ln_get_nutation(jde, &nutation);
  return normalized(solarLongitudeMean(jde) + nutation.longitude);
}

double lunarElongation(double jdUt) {
  const double jde = jdeOf(jdUt);
  ln_lnlat_posn moon{};
  ln_get_lunar_ecl_coords(jde, &moon, kLunarPrecision);
  // Nutation moves both alike; the moon's own aberration (under an arcsecond) is left out.
  return signedAngle(longitudeOfDate(moon.lng, moon.lat, jde) - solarLongitudeMean(jde));
}

namespace {

// The new moon nearest a first guess, by the secant method on the elongation.
double newMoonNear(double guessJdUt) {
  double x0 = guessJdUt;
  double f0 = lunarElongation(x0);
  double x1 = x0 - f0 / 12.19;  // the mean daily motion of the moon from the sun
  for (int i = 0; i < 20; ++i) {
    const double f1 = lunarElongation(x1);
    if (f1 == f0) {
      break;
    }
    const double x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
    x0 = x1;
    f0 = f1;
    x1 = x2;
    if (std::abs(x1 - x0) < 1e-7) {  // under a hundredth of a second
      break;
    }
  }
  return x1;
}

}  // namespace

double solarLongitudeInstant(double degrees, double nearJdUt) {
  double x = nearJdUt;
  for (int i = 0; i < 20; ++i) {
    // The sun's speed stays within 3 % of its mean, so this converges tenfold per step.
    const double step = signedAngle(degrees - solarLongitude(x)) / 0.985647;
    x += step;
    if (std::abs(step) < 1e-7) {
      break;
    }
  }
  return x;
}

QDate jstDate(double jdUt) {
  return QDate::fromJulianDay(static_cast<qint64>(std::floor(jdUt + kJstOffsetDays + 0.5)));
}

double jstMinuteOfDay(double jdUt) {
  const double local = jdUt + kJstOffsetDays + 0.5;
  return (local - std::floor(local)) * 1440.0;
}

std::vector<double> newMoonsOfYear(int year) {
  const double start = static_cast<double>(QDate(year, 1, 1).toJulianDay()) - 0.5 - kJstOffsetDays;
  const double end =
      static_cast<double>(QDate(year + 1, 1, 1).toJulianDay()) - 0.5 - kJstOffsetDays;
  std::vector<double> moons;
  // The true new moon lies within about 14 hours of the mean one.
  double k = std::floor((start - 2451550.09766) / 29.530588861) - 1;
  for (;; k += 1) {
    const double mean = meanNewMoonJde(k);
    if (mean > end + 2) {
      break;
    }
    const double jd = newMoonNear(mean);
    if (jd >= start && jd < end) {
      moons.push_back(jd);
    }
  }
  return moons;
}

std::vector<SolarTerm> solarTermsOfYear(int year) {
  std::vector<SolarTerm> terms;
  const double start = static_cast<double>(QDate(year, 1, 1).toJulianDay()) - 0.5 - kJstOffsetDays;
  const double end =
      static_cast<double>(QDate(year + 1, 1, 1).toJulianDay()) - 0.5 - kJstOffsetDays;
  // 小寒 (285 degrees) falls on 5-7 January; the terms follow about 15.2 days apart.
  double guess = start + 5;
  for (int i = 0; i < 26 && terms.size() < 24; ++i) {
    const int degrees = (285 + 15 * i) % 360;
    const double jd = solarLongitudeInstant(degrees, guess);
    if (jd >= start && jd < end) {
      terms.push_back({degrees, jd});
    }
    guess = jd + 15.2;
  }
  return terms;
}

}  // namespace astronomy

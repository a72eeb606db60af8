#!/usr/bin/env python3
"""An independent reference for the Japanese lunisolar calendar, from PyEphem (libastro).

Prints, for 1872-2102, every new moon and every instant the sun's apparent longitude reaches a
multiple of 15 degrees, and for every day of 1873-01-01..2100-12-31 its old-calendar month,
leap flag, day and 六曜, by the rules used in Japan: a month begins on the day (JST) of its new
moon; the month holding the winter solstice is the 11th; between two such months, when there
are 13, the first month holding no principal term is the leap month and takes the number of
the month before it; every other month takes the next number.

Days whose value changes when one new moon or principal term lying within two minutes of
midnight JST is moved to the other side of midnight are printed as excepted: a published table
may differ there.

Output lines:
  N <julian day UT>                       a new moon
  T <degrees> <julian day UT>             a solar term
  D <yyyy-mm-dd> <month> <leap 0|1> <day> <六曜>
  X <yyyy-mm-dd>                          an excepted day
"""

import datetime
import math

import ephem

JST = 9 / 24.0
DJD = 2415020.0  # ephem's dates count days from 1899-12-31 12:00 UT
ROKUYO = ["大安", "赤口", "先勝", "友引", "先負", "仏滅"]
NEAR = 2 / 1440.0


def sun_longitude(d):
    sun = ephem.Sun(d)
    return ephem.Ecliptic(ephem.Equatorial(sun.g_ra, sun.g_dec, epoch=d), epoch=d).lon


def term_instant(degrees, guess):
    target = math.radians(degrees)

    def f(d):
        return (sun_longitude(d) - target + math.pi) % (2 * math.pi) - math.pi

    return ephem.newton(f, guess, guess + 0.01)


def jst_day(d):
    """The JST date of an ephem date, and its distance from the nearest JST midnight in days."""
    local = float(d) + DJD + JST + 0.5
    day = math.floor(local)
    frac = local - day
    return day, min(frac, 1 - frac), frac < 0.5


def main():
    start = ephem.Date("1872/1/1")
    end = ephem.Date("2103/1/1")
    moons = []
    d = start
    while True:
        d = ephem.next_new_moon(d)
        if d >= end:
            break
        moons.append(d)
        print("N %.6f" % (float(d) + DJD))

    terms = []  # (degrees, date)
    d = ephem.next_solstice(start) - 200  # safely before the first term we want
    degrees = math.floor(math.degrees(sun_longitude(d)) / 15 + 1) * 15 % 360
    guess = d + 2
    while True:
        t = term_instant(degrees, guess)
        if t >= end:
            break
        if t >= start:
            terms.append((degrees, t))
            print("T %d %.6f" % (degrees, float(t) + DJD))
        degrees = (degrees + 15) % 360
        guess = t + 15.2

    def month_starts_and_principal(flips):
        starts = []
        for i, m in enumerate(moons):
            day, gap, after = jst_day(m)
            if ("N", i) in flips:
                day += -1 if after else 1
            starts.append(day)
        principal = []
        solstices = []
        for i, (deg, t) in enumerate(terms):
            if deg % 30:
                continue
            day, gap, after = jst_day(t)
            if ("T", i) in flips:
                day += -1 if after else 1
            principal.append(day)
            if deg == 270:
                solstices.append(day)
        return starts, principal, solstices

    def calendar(flips):
        starts, principal, solstices = month_starts_and_principal(flips)
        # months as [start, next start)
        months = list(zip(starts, starts[1:]))

        def index_holding(day):
            for i, (a, b) in enumerate(months):
                if a <= day < b:
                    return i
            raise ValueError(day)

        numbers = {}
        eleven = [index_holding(s) for s in solstices if months[0][0] <= s < months[-1][1]]
        for a, b in zip(eleven, eleven[1:]):
            leap = None
            if b - a == 13:
                for i in range(a + 1, b):
                    lo, hi = months[i]
                    if not any(lo <= p < hi for p in principal):
                        leap = i
                        break
            n = 11
            numbers[a] = (11, False)
            for i in range(a + 1, b):
                if i == leap:
                    numbers[i] = (n, True)
                else:
                    n = n % 12 + 1
                    numbers[i] = (n, False)
        result = {}
        first = datetime.date(1873, 1, 1).toordinal() + 1721424.5 + 0.5
        last = datetime.date(2100, 12, 31).toordinal() + 1721424.5 + 0.5
        for i, (a, b) in enumerate(months):
            if i not in numbers:
                continue
            n, leap = numbers[i]
            for day in range(max(a, int(first)), min(b, int(last) + 1)):
                k = day - a + 1
                result[day] = (n, leap, k, ROKUYO[(n + k) % 6])
        return result

    base = calendar(set())
    near = [("N", i) for i, m in enumerate(moons) if jst_day(m)[1] < NEAR]
    near += [("T", i) for i, (deg, t) in enumerate(terms) if deg % 30 == 0 and jst_day(t)[1] < NEAR]
    excepted = set()
    for flip in near:
        other = calendar({flip})
        excepted.update(day for day, value in base.items() if other.get(day) != value)

    def iso(jd):
        return datetime.date.fromordinal(jd - 1721425).isoformat()

    for day in sorted(base):
        n, leap, k, rokuyo = base[day]
        print("D %s %d %d %d %s" % (iso(day), n, 1 if leap else 0, k, rokuyo))
    for day in sorted(excepted):
        print("X %s" % iso(day))


if __name__ == "__main__":
    main()

#pragma once

#include <QList>

// What one column of a report list needs, in pixels.
struct ColumnNeed {
  int whole = 0;  // every text of the column and its caption in full
  int share = 0;  // its claim when the columns must be shortened (0: always gets `whole`)
};

// Column widths that fill `available` pixels exactly. Columns without a claim get their whole
// width; the others share what is left: each in full when they all fit (the last one takes what
// is spare), otherwise in proportion to their claims. When even the unshared columns do not fit,
// every column is shortened in proportion to its whole width.
QList<int> fitColumns(const QList<ColumnNeed>& needs, int available);

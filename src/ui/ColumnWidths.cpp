#include "ui/ColumnWidths.h"

#include <algorithm>
#include <numeric>

namespace {

// Splits `total` in proportion to `weights`; the rounding remainder goes to the last column.
QList<int> proportional(const QList<int>& weights, int total) {
  QList<int> parts(weights.size(), 0);
  long long sum = 0;
  for (int weight : weights) sum += std::max(weight, 0);
  if (weights.isEmpty()) return parts;
  int given = 0;
  for (qsizetype i = 0; i + 1 < weights.size(); ++i) {
    parts[i] = sum > 0
                   ? static_cast<int>(static_cast<long long>(total) * std::max(weights[i], 0) / sum)
                   : total / static_cast<int>(weights.size());
    given += parts[i];
  }
  parts.back() = total - given;
  return parts;
}

}  // namespace

QList<int> fitColumns(const QList<ColumnNeed>& needs, int available) {
  available = std::max(available, 0);
  QList<int> widths(needs.size(), 0);
  int unshared = 0;
  QList<qsizetype> sharing;
  for (qsizetype i = 0; i < needs.size(); ++i) {
    if (needs[i].share > 0) {
      sharing.append(i);
    } else {
      widths[i] = needs[i].whole;
      unshared += needs[i].whole;
    }
  }
  if (sharing.isEmpty() || unshared > available) {
    QList<int> wholes;
    for (const ColumnNeed& need : needs) wholes.append(need.whole);
    const int total = std::accumulate(wholes.begin(), wholes.end(), 0);
    if (sharing.isEmpty() && total <= available) {
      if (!widths.isEmpty()) widths.back() += available - total;
      return widths;
    }
    return proportional(wholes, available);
  }
  const int rest = available - unshared;
  int wholeSharing = 0;
  for (qsizetype i : sharing) wholeSharing += needs[i].whole;
  if (wholeSharing <= rest) {
    for (qsizetype i : sharing) widths[i] = needs[i].whole;
    widths[sharing.back()] += rest - wholeSharing;
    return widths;
  }
  // In proportion to the claims, but no column wider than its whole width: what a capped
  // column leaves goes to the others.
  QList<qsizetype> uncapped = sharing;
  int left = rest;
  for (;;) {
    QList<int> claims;
    for (qsizetype i : uncapped) claims.append(needs[i].share);
    const QList<int> parts = proportional(claims, left);
    QList<qsizetype> stillOpen;
    for (qsizetype k = 0; k < uncapped.size(); ++k) {
      const qsizetype i = uncapped[k];
      if (parts[k] > needs[i].whole) {
        widths[i] = needs[i].whole;
        left -= needs[i].whole;
      } else {
        stillOpen.append(i);
      }
    }
    if (stillOpen.size() == uncapped.size()) {
      for (qsizetype k = 0; k < uncapped.size(); ++k) widths[uncapped[k]] = parts[k];
      break;
    }
    uncapped = stillOpen;
  }
  return widths;
}

#pragma once
// The years next to the one shown, computed ahead on a worker thread of their own.

#include <QSet>

class QThreadPool;

class KoyomiPrefetch {
 public:
  KoyomiPrefetch();
  // Waits for the worker, before the marks' tables go.
  ~KoyomiPrefetch();
  KoyomiPrefetch(const KoyomiPrefetch&) = delete;
  KoyomiPrefetch& operator=(const KoyomiPrefetch&) = delete;

  // A year's marks take tens of milliseconds the first time; the years before and after the
  // shown one are computed meanwhile, so that moving into them costs nothing.
  void around(int year);

 private:
  QThreadPool* worker_;
  QSet<int> prepared_;
};

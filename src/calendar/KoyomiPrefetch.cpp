#include "calendar/KoyomiPrefetch.h"

#include <QDate>
#include <QThreadPool>

#include "calendar/Koyomi.h"

KoyomiPrefetch::KoyomiPrefetch() : worker_(new QThreadPool) { worker_->setMaxThreadCount(1); }

KoyomiPrefetch::~KoyomiPrefetch() {
  worker_->waitForDone();
  delete worker_;
}

void KoyomiPrefetch::around(int year) {
  for (const int neighbour : {year - 1, year + 1}) {
    if (prepared_.contains(neighbour) || !koyomi::covers(QDate(neighbour, 1, 1))) continue;
    prepared_.insert(neighbour);
    worker_->start([neighbour] { koyomi::prepareYear(neighbour); });
  }
}

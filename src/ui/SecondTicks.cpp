#include "ui/SecondTicks.h"

#include <QTime>
#include <QTimer>

void keepOnTheSecond(QTimer* timer) {
  constexpr int kTickInterval = 1000;
  constexpr int kAfterTheSecond = 5;
  constexpr int kSlack = 20;
  const int into = QTime::currentTime().msec();
  if (into > kSlack) {
    timer->start(kTickInterval - into + kAfterTheSecond);
  } else if (timer->interval() != kTickInterval) {
    timer->start(kTickInterval);
  }
}

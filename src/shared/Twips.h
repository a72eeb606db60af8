#pragma once

#include <cmath>

// Window layouts are given in twips (1/1440 inch): 15 twips to a pixel at 96 dpi.
constexpr double kTwipsPerInch = 1440.0;

inline int twipsToPixels(double twips, double logicalDpi = 96.0) {
  return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

inline double pixelsToTwips(int pixels, double logicalDpi = 96.0) {
  return pixels * kTwipsPerInch / logicalDpi;
}

#include "ui/Contrast.h"

#include <QHash>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

namespace {

double linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

}  // namespace

double relativeLuminance(const QColor& color) {
  const QColor rgb = color.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = relativeLuminance(a);
  const double lb = relativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableTextOn(const QColor& ground) {
  const QColor black(0, 0, 0);
  const QColor white(255, 255, 255);
  return contrastRatio(black, ground) >= contrastRatio(white, ground) ? black : white;
}

namespace {

QColor findShade(const QColor& color, const QColor& ground, double ratio);

}  // namespace

QColor shadeReaching(const QColor& color, const QColor& ground, double ratio) {
  // A window asks for the same few pairs on every repaint of its cells: each is worked out once.
  struct Key {
    quint64 color;
    quint64 ground;
    double ratio;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const {
      return qHashMulti(0, key.color, key.ground, key.ratio);
    }
  };
  thread_local std::unordered_map<Key, QColor, KeyHash> known;
  const Key key{static_cast<quint64>(color.rgba64()), static_cast<quint64>(ground.rgba64()), ratio};
  if (const auto found = known.find(key); found != known.end()) return found->second;
  if (known.size() > 4096) known.clear();
  const QColor shade = findShade(color, ground, ratio);
  known.emplace(key, shade);
  return shade;
}

namespace {

QColor findShade(const QColor& color, const QColor& ground, double ratio) {
  if (contrastRatio(color, ground) >= ratio) return color;
  // Along the lightness of the colour's hue (HSL keeps hue and saturation), in both
  // directions; the first shade that reads on each side, the nearer of the two wins.
  const QColor hsl = color.toHsl();
  const int hue = hsl.hslHue();
  const int saturation = hsl.hslSaturation();
  const int lightness = hsl.lightness();
  std::optional<QColor> darker;
  for (int l = lightness - 1; l >= 0; --l) {
    const QColor shade = QColor::fromHsl(hue, saturation, l).toRgb();
    if (contrastRatio(shade, ground) >= ratio) {
      darker = shade;
      break;
    }
  }
  std::optional<QColor> lighter;
  for (int l = lightness + 1; l <= 255; ++l) {
    const QColor shade = QColor::fromHsl(hue, saturation, l).toRgb();
    if (contrastRatio(shade, ground) >= ratio) {
      lighter = shade;
      break;
    }
  }
  if (darker && lighter) {
    return lightness - darker->toHsl().lightness() <= lighter->toHsl().lightness() - lightness
               ? *darker
               : *lighter;
  }
  if (darker) return *darker;
  if (lighter) return *lighter;
  return readableTextOn(ground);  // no shade of the hue reads there
}

}  // namespace

QColor paletteShade(const QColor& color, const QPalette& palette, QPalette::ColorRole ground,
                    double ratio) {
  return shadeReaching(color, palette.color(ground), ratio);
}

void setFixedGround(QWidget* widget, const QColor& ground) {
  QPalette palette = widget->palette();
  const QColor text = readableTextOn(ground);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Window, ground);
    palette.setColor(group, QPalette::Base, ground);
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::Text, text);
    palette.setColor(group, QPalette::ButtonText, text);
  }
  widget->setPalette(palette);
}

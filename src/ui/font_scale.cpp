#include "ui/font_scale.h"

#include <algorithm>

namespace vk {
namespace {

constexpr int kDesignAverageCharWidth = 5;

}  // namespace

int ScaledPixels(const QFontMetrics& metrics, int designPixels) {
  const int average = std::max(metrics.averageCharWidth(), kDesignAverageCharWidth);
  return (designPixels * average + kDesignAverageCharWidth - 1) / kDesignAverageCharWidth;
}

int WidthToShow(const QFontMetrics& metrics, int designPixels, const QString& text, int padding) {
  return std::max(ScaledPixels(metrics, designPixels), metrics.horizontalAdvance(text) + padding);
}

}  // namespace vk

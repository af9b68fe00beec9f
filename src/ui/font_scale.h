// The window's pixel sizes were drawn for Tahoma 8 pt, whose characters average 5 pixels. With
// the font the desktop gives, every such size grows by the ratio of the font's average
// character width to that, never shrinks, and a width that must show a given text is at least
// as wide as the text.
#pragma once

#include <QFontMetrics>
#include <QString>

namespace vk {

// `designPixels` scaled by the font's average character width (never below `designPixels`).
int ScaledPixels(const QFontMetrics& metrics, int designPixels);

// The larger of the scaled width and the width of `text` plus `padding` pixels.
int WidthToShow(const QFontMetrics& metrics, int designPixels, const QString& text, int padding);

}  // namespace vk

// Placing controls by the form designer's measures: twips (1/1440 inch) converted to pixels with
// the screen's logical resolution.
#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>

namespace vellicor::ui {

inline int twipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

// Left, top, width and height in twips as a rectangle in w's pixels.
inline QRect twipsRect(const QWidget* w, int left, int top, int width, int height) {
  const int dx = w->logicalDpiX();
  const int dy = w->logicalDpiY();
  return QRect(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
               twipsToPixels(height, dy));
}

}  // namespace vellicor::ui

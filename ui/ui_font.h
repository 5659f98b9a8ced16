// The font of the program's forms: a Japanese UI font at 9 points, Noto Sans CJK on Linux and the
// system's Japanese UI font on Windows.
#pragma once

#include <QFont>
#include <QStringList>

namespace vellicor::ui {

inline QFont formFont() {
  QFont f;
  f.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("MS UI Gothic"), QStringLiteral("Yu Gothic UI")});
  f.setPointSize(9);
  return f;
}

}  // namespace vellicor::ui

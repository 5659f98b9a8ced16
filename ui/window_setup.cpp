// The main window's settings for this process: the logic's own, and the real boxes.
#include "ui/window_setup.h"

namespace vellicor::ui {

WindowSetup WindowSetup::fromProcess(const std::string& programDir) {
  WindowSetup s;
  static_cast<form::FormSetup&>(s) = form::FormSetup::fromProcess(programDir);
  s.dialogs = std::make_shared<QtDialogs>();
  return s;
}

}  // namespace vellicor::ui

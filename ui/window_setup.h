// What the main window takes from outside: the logic's settings (program directory, Oracle
// client, run options, the run and the listing) and the window's boxes (replaced by tests).
#pragma once

#include <memory>
#include <string>

#include "form/form_setup.h"
#include "ui/dialogs.h"

namespace vellicor::ui {

using form::ListFunction;
using form::RunFunction;

struct WindowSetup : form::FormSetup {
  std::shared_ptr<Dialogs> dialogs;  // the boxes and the save dialog

  // The settings of this process: the executable's directory, the environment, the real engine
  // and the real boxes.
  static WindowSetup fromProcess(const std::string& programDir);
};

}  // namespace vellicor::ui

// The window program: what the command calls when it is started without arguments.
#pragma once

namespace vellicor::ui {

// Runs the main window until it is closed and returns the exit code. A hidden option
// "--screenshot DIR" instead writes DIR/main.png and DIR/dialog.png and returns.
int runWindow(int argc, char** argv);

}  // namespace vellicor::ui

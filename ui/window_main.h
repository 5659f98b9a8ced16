// The window program: what the command calls when it is started without arguments, and the
// screenshots of the laid-out windows.
#pragma once

// Runs the main window until it is closed and returns the exit code. With VELLICOR_SCREENSHOT_DIR
// set in the environment it instead writes DIR/main.png and DIR/dialog.png of the laid-out
// windows and returns (ui/screenshots/take_screenshots.sh).
int runWindow(int argc, char** argv);

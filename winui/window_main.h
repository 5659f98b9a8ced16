// The Windows window program: what the command calls when it is started without arguments.
#pragma once

// Runs the main window until it is closed and returns the exit code.
int runWindow(int argc, char** argv);

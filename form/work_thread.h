// Long work (the run, the object listing) on a thread of its own while the window keeps pumping
// its messages: the work's host calls reach the window on the window's thread, questions and
// boxes modally there, status texts through the status lines.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/run_host.h"
#include "form/status_lines.h"
#include "form/view.h"

namespace vellicor::form {

using Work = std::function<int16_t(engine::RunHost& host)>;

// Runs work on a new thread and returns its result once it has ended, the window's messages
// pumped meanwhile. windowHost answers the work's calls on the window's thread. A failure that
// escapes work is shown in a box with its description and the caption "異常終了", and gives 1.
int16_t runOffWindowThread(MainView& view, engine::RunHost& windowHost, StatusLines& status, const Work& work);

}  // namespace vellicor::form

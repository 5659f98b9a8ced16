// The sequence list: the rows of USER_SEQUENCES copied into a table like any listed object.
#pragma once

#include "engine/run_state.h"

namespace vellicor::engine {

inline constexpr const char* kSequenceView = "USER_SEQUENCES";

// Copies USER_SEQUENCES into suffix + "USER_SEQUENCES" at the run's current position.
void exportSequences(RunState& run);

}  // namespace vellicor::engine

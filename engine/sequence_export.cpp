// The sequence step of a run: one object copy of the dictionary view of sequences, whatever
// the selection names; the position is left where the object loop put it.
#include "engine/sequence_export.h"

#include "engine/record_copy.h"

namespace vellicor::engine {

void exportSequences(RunState& run) {
  copyObject(run, kSequenceView);
}

}  // namespace vellicor::engine

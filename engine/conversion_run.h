// The conversion run: connect to the source, create or open the output file, list the objects of
// the ticked kinds, copy every admitted one (and the sequence list), log, and close everything.
#pragma once

#include <cstdint>
#include <string>

#include "engine/run_host.h"
#include "engine/run_options.h"

namespace vellicor::engine {

// The run as the window calls it: 0 when it completed or the user declined the overwrite,
// 1 when it failed (after it has shown its own message).
int16_t oracle2mdb(RunHost& host, const RunRequest& request);

// The same run, telling which end it reached.
RunEnding runConversion(RunHost& host, const RunRequest& request);

// Whether the overwrite question applies to `path`: a regular file whose name does not begin
// with '.' (hidden files are neither asked about nor deleted).
bool outputFileExists(const std::string& path);

}  // namespace vellicor::engine

// The object listing: the names of the schema's objects of the ticked kinds, read from
// user_objects over a connection of its own. Input checks and their texts belong to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/run_host.h"
#include "engine/run_options.h"

namespace vellicor::engine {

// The most objects a listing takes; one more fails it with an overflow.
inline constexpr int32_t kMaxListedObjects = 32767;

// Connects, counts, and hands every OBJECT_NAME to addName in the server's order. Returns 0, or
// 1 after it has shown its message (connection failure: the description on the message line and
// "DB接続に失敗しました。"; any later failure: the description with the caption "異常終了").
int16_t getUserObjects(RunHost& host, const std::string& server, const std::string& user,
                       const std::string& pass, const std::function<void(const std::string&)>& addName,
                       const RunOptions& opts = {});

}  // namespace vellicor::engine

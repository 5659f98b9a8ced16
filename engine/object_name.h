// How an object name as the dictionary lists it goes into a query text: plain identifiers as they
// are, every other name as a quoted identifier.
#pragma once

#include <string>
#include <string_view>

namespace vellicor::engine {

// True for an upper-case ASCII letter followed by upper-case letters, digits, '_', '$' or '#'.
bool isPlainIdentifier(std::string_view name);

// The name unchanged when plain, else in double quotes with embedded double quotes doubled.
std::string quoteObjectName(std::string_view name);

}  // namespace vellicor::engine

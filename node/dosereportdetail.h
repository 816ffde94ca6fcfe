#pragma once
// What the dose report's source files share; not for use elsewhere.

#include <string>
#include <string_view>

namespace tamso::node::detail {

// HHMMSS, HHMM or HH, optionally with a fraction after HHMMSS.
bool validTime(std::string_view time);

} // namespace tamso::node::detail

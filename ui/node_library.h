#pragma once
#include <string>

namespace rivulo {

// Case-insensitive substring match of the search text against a library
// entry's label, or else its description. An empty search matches all.
bool matchesSearch(const std::string& search, const std::string& label, const std::string& description);

}  // namespace rivulo

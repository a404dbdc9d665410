#pragma once
// Text from drivers and files (camera names, paths) as a terminal may show it: a name that holds
// an escape sequence must not move the cursor, retitle the window or hide what follows.

#include <string>
#include <string_view>

namespace korvane::cli {

// The text with every control character (C0, DEL, and C1 written in UTF-8) as \xHH or \u00HH;
// everything else as it was. JSON output needs none of this: its encoder escapes them itself.
std::string PrintableText(std::string_view text);

}  // namespace korvane::cli

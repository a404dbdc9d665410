#pragma once

#include <string>
#include <vector>

namespace korvane::cli {

// Rows of cells printed in columns as wide as their widest cell, two blanks apart, without
// trailing blanks. Widths count bytes, which lines up the ASCII the tool prints itself.
std::string TextTable(const std::vector<std::vector<std::string>>& rows);

}  // namespace korvane::cli

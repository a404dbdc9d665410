#include "cli/TextTable.h"

#include <algorithm>

#include "cli/PrintableText.h"

namespace korvane::cli {

std::string TextTable(const std::vector<std::vector<std::string>>& shownRows) {
  std::vector<std::vector<std::string>> rows = shownRows;
  for (auto& row : rows) {
    for (std::string& cell : row) cell = PrintableText(cell);
  }
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size());
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - row[i].size() + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + '\n';
  }
  return text;
}

}  // namespace korvane::cli

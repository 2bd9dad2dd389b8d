#include "runtime/csv.h"

namespace belvane {

std::vector<CsvRow> ParseCsv(std::string_view text) {
  std::vector<CsvRow> rows;
  std::size_t i = 0;
  int line = 1;
  // A line end at text[i], if any: its length (CR LF counts as one).
  const auto line_end = [&text](std::size_t at) -> std::size_t {
    if (text[at] == '\n') return 1;
    if (text[at] != '\r') return 0;
    return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
  };
  while (i < text.size()) {
    if (const std::size_t end = line_end(i)) {  // a blank line
      i += end;
      ++line;
      continue;
    }
    CsvRow row;
    row.line = line;
    std::string field;
    bool quoted = false;      // inside quotes
    bool field_start = true;  // nothing of this field read yet
    while (i < text.size()) {
      const char c = text[i];
      if (quoted) {
        if (c == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
          } else {
            quoted = false;
            ++i;
          }
          continue;
        }
        if (const std::size_t end = line_end(i)) {
          field.append(text.substr(i, end));
          i += end;
          ++line;
          continue;
        }
        field += c;
        ++i;
        continue;
      }
      if (c == ',') {
        row.fields.push_back(std::move(field));
        field.clear();
        field_start = true;
        ++i;
        continue;
      } else if (const std::size_t end = line_end(i)) {
        i += end;
        ++line;
        break;
      } else if (c == '"' && field_start) {
        quoted = true;
        ++i;
      } else {
        field += c;
        ++i;
      }
      field_start = false;
    }
    row.unclosed_quote = quoted;
    row.fields.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string CsvText(const std::vector<std::vector<std::string>>& rows) {
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (k > 0) text += ',';
      const std::string& field = row[k];
      if (field.find_first_of(",\"\r\n") == std::string::npos) {
        text += field;
        continue;
      }
      text += '"';
      for (const char c : field) {
        if (c == '"') text += '"';
        text += c;
      }
      text += '"';
    }
    text += "\r\n";
  }
  return text;
}

std::string_view TrimmedField(std::string_view field) {
  const std::size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(" \t") - first + 1);
}

}  // namespace belvane

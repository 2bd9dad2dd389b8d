#pragma once
// Comma-separated text as a spreadsheet saves it: rows of fields, a field in double quotes when
// it holds a comma, a quote (doubled inside) or a line end. Lines end in CR LF, LF or a lone CR;
// the last line may have no end. The text is GBK here: a GBK trail byte is never a quote, a
// comma or a line end, so the bytes split as they are.
//
// Thread policy: plain values and pure functions (ReadCsvFile converts through runtime/gbk.h);
// safe from any thread.

#include <string>
#include <string_view>
#include <vector>

namespace belvane {

struct CsvRow {
  int line = 0;  // the line the row begins on, from 1
  std::vector<std::string> fields;
  bool unclosed_quote = false;  // the text ended inside a quoted field (a cut-off file)
  bool operator==(const CsvRow&) const = default;
};

// The rows of `text`, blank lines left out. Lenient where a spreadsheet is: a quote inside an
// unquoted field is kept as written, and text after a closing quote joins the field.
std::vector<CsvRow> ParseCsv(std::string_view text);

// A file's rows: its text read in the encoding DetectFileEncoding names (GBK, UTF-8 with or
// without the mark, UTF-16) and converted to GBK (GbkTextOfFile), then ParseCsv.
std::vector<CsvRow> ReadCsvFile(std::string_view file_bytes);

// The text a spreadsheet reads back as `rows`: CR LF after every row, a field quoted only when
// it holds a comma, a quote or a line end.
std::string CsvText(const std::vector<std::vector<std::string>>& rows);

// A row a reader of the rows could not take, for the user: its line and why.
struct CsvLineProblem {
  int line = 0;
  std::string why;  // GBK
  bool operator==(const CsvLineProblem&) const = default;
};

// The field without the blanks (spaces, tabs) before and after it.
std::string_view TrimmedField(std::string_view field);

}  // namespace belvane

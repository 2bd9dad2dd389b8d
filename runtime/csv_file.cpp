// Kept apart from csv.cpp, which builds natively (fuzzed) without the platform's conversions.
#include "runtime/csv.h"
#include "runtime/gbk.h"

namespace belvane {

std::vector<CsvRow> ReadCsvFile(std::string_view file_bytes) {
  return ParseCsv(GbkTextOfFile(file_bytes));
}

}  // namespace belvane

#include "audio/output_choice.h"

#include <algorithm>

namespace belvane {
namespace {

bool StartsWith(std::string_view text, std::string_view start) {
  return !start.empty() && text.substr(0, start.size()) == start;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

OutputChoice ChooseOutput(const std::vector<OutputInfo>& outputs, std::string_view wanted) {
  wanted = Trimmed(wanted);
  OutputChoice choice;
  const auto fallback = std::find_if(outputs.begin(), outputs.end(),
                                     [](const OutputInfo& o) { return o.is_default; });
  if (fallback != outputs.end()) choice.name = fallback->name;
  if (wanted.empty()) return choice;
  // An exact name first: one output's name may start another's ("扬声器" and "扬声器 (USB)").
  auto found = std::find_if(outputs.begin(), outputs.end(),
                            [&](const OutputInfo& o) { return o.name == wanted; });
  if (found == outputs.end()) {
    found = std::find_if(outputs.begin(), outputs.end(), [&](const OutputInfo& o) {
      return StartsWith(o.name, wanted) || StartsWith(wanted, o.name);
    });
  }
  if (found == outputs.end()) {
    choice.missing = true;
    return choice;
  }
  choice.device = found->device;
  choice.name = found->name;
  return choice;
}

std::vector<OutputInfo> DefaultFirst(std::vector<OutputInfo> outputs) {
  std::stable_partition(outputs.begin(), outputs.end(),
                        [](const OutputInfo& o) { return o.is_default; });
  return outputs;
}

}  // namespace belvane

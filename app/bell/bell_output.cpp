#include "app/bell/bell_output.h"

namespace belvane {

OutputStep BellOutput::Look(const std::vector<OutputInfo>& outputs, const std::string& wanted) {
  OutputStep step;
  if (outputs.empty()) return step;
  const OutputChoice choice = ChooseOutput(outputs, wanted);
  step.device = choice.device;
  if (choice.missing) {
    if (told_missing_ != wanted) step.notes.push_back(OutputNote{true, wanted});
    told_missing_ = wanted;
  } else {
    told_missing_.clear();  // found again: a later loss is said again
  }
  if (known_ && choice.name != current_) {
    step.moved = true;
    step.notes.push_back(OutputNote{false, choice.name});
  }
  known_ = true;
  current_ = choice.name;
  return step;
}

}  // namespace belvane

#pragma once
// Which output the bells ring on, looked at ahead of each bell: the one the settings name, else
// the default one as it is now. An output that changed since the last look makes the prepared
// bell be prepared again (it was readied on the old one), and the record says which output
// rings now; a named output that is missing is said once, and the default rings.
//
// Thread policy: plain data, the bell worker's.

#include <string>
#include <vector>

#include "audio/output_choice.h"

namespace belvane {

// "设备	<名称>" (the output changed) or "设备	未找到	<名称>	改用默认".
struct OutputNote {
  bool missing = false;
  std::string name;  // the output now, or the name not found
};

struct OutputStep {
  int device = kDefaultOutput;  // what the player is to initialise
  bool moved = false;           // the output changed: what was readied ahead is not to start
  std::vector<OutputNote> notes;
};

class BellOutput {
 public:
  // `outputs` as listed now (none: the library cannot list them, and nothing changes);
  // `wanted` the settings' name (empty: the default).
  OutputStep Look(const std::vector<OutputInfo>& outputs, const std::string& wanted);
  // The output the last look chose; empty before any look found one.
  const std::string& Current() const { return current_; }

 private:
  bool known_ = false;
  std::string current_;       // the output the last look chose
  std::string told_missing_;  // the wanted name last said missing
};

}  // namespace belvane

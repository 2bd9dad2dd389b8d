#pragma once
// Which output a bell plays on: the default one, or one the settings name as the volume mixer
// shows it (or its first characters). The system's own list cuts long names, so a name matches
// when either is the start of the other.
//
// Thread policy: pure; any thread.

#include <string>
#include <string_view>
#include <vector>

namespace belvane {

// One output as the audio library lists it.
struct OutputInfo {
  int device = 0;    // the library's number for it (BASS_Init)
  std::string name;  // GBK
  bool is_default = false;
};

// The library's number for "the default output, whichever it is".
inline constexpr int kDefaultOutput = -1;

struct OutputChoice {
  int device = kDefaultOutput;
  std::string name;      // the output it rings on (empty when the list gives none)
  bool missing = false;  // a name was wanted and none matched: the default rings instead
};

OutputChoice ChooseOutput(const std::vector<OutputInfo>& outputs, std::string_view wanted);

// The outputs with the default one first (the order a drop-down shows them).
std::vector<OutputInfo> DefaultFirst(std::vector<OutputInfo> outputs);

}  // namespace belvane

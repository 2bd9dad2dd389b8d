#include "app/keep_awake.h"

namespace belvane {

void KeepAwake::Keep(ExecutionStateSetter setter) {
  if (setter_ != nullptr || setter == nullptr) return;
  if (setter(kKeepAwakeFlags) != 0) setter_ = setter;
}

void KeepAwake::LetSleep() {
  if (setter_ == nullptr) return;
  setter_(ES_CONTINUOUS);
  setter_ = nullptr;
}

}  // namespace belvane

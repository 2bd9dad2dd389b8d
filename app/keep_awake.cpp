#include "app/keep_awake.h"

namespace belvane {

namespace {

ExecutionStateSetter g_setter = nullptr;  // the one that asked; null while nothing is asked

}  // namespace

void KeepSystemAwake(ExecutionStateSetter setter) {
  if (g_setter != nullptr || setter == nullptr) return;
  if (setter(kKeepAwakeFlags) != 0) g_setter = setter;
}

void LetSystemSleep() {
  if (g_setter == nullptr) return;
  g_setter(ES_CONTINUOUS);
  g_setter = nullptr;
}

}  // namespace belvane

#include "runtime/message_box.h"

#include "runtime/gbk.h"

namespace belvane {

namespace {

SRWLOCK g_observerLock = SRWLOCK_INIT;
MessageBoxObserver& Observer() {
  static MessageBoxObserver observer;  // guarded by g_observerLock
  return observer;
}

}  // namespace

int ShowMessageBox(HWND owner, const TextValue& text, const TextValue& caption, unsigned style) {
  MessageBoxObserver observer;
  AcquireSRWLockShared(&g_observerLock);
  if (Observer()) observer = Observer();
  ReleaseSRWLockShared(&g_observerLock);
  if (observer) return observer(MessageBoxRequest{owner, text, caption, style});
  // The W function: the text reaches the box intact whatever the process's ANSI code page.
  return MessageBoxW(owner, WideFromGbk(text.View()).c_str(), WideFromGbk(caption.View()).c_str(),
                     style);
}

MessageBoxObserver SetMessageBoxObserver(MessageBoxObserver observer) {
  AcquireSRWLockExclusive(&g_observerLock);
  MessageBoxObserver previous = std::move(Observer());
  Observer() = std::move(observer);
  ReleaseSRWLockExclusive(&g_observerLock);
  return previous;
}

int ShowMessage(const ValueSlot& content, const ValueSlot& style, const ValueSlot& caption,
                const ValueSlot& owner) {
  TextValue text;  // byte sets and arrays: an empty message
  if (IsScalarKind(content.kind) || content.kind == ValueKind::kText) text = ToText(content);
  const unsigned styleBits = style.IsGiven() ? static_cast<unsigned>(ToInteger(style)) : 0;
  const TextValue captionText = caption.IsGiven() ? ToText(caption) : TextValue("信息");
  HWND ownerWindow = nullptr;
  if (owner.kind == ValueKind::kInteger) {
    ownerWindow = reinterpret_cast<HWND>(static_cast<std::intptr_t>(owner.AsInt32()));
  }
  return ShowMessageBox(ownerWindow, text, captionText, styleBits) - 1;
}

ValueSlot OwnerSlot(HWND owner) {
  // Window handles carry 32 significant bits, also in a 64-bit process.
  return ValueSlot::Integer(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(owner)));
}

}  // namespace belvane

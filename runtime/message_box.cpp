#include "runtime/message_box.h"

#include <string_view>

#include "runtime/gbk.h"

namespace belvane {

namespace {

SRWLOCK g_observer_lock = SRWLOCK_INIT;
MessageBoxObserver& Observer() {
  static MessageBoxObserver observer;  // guarded by g_observer_lock
  return observer;
}

}  // namespace

int ShowMessageBox(HWND owner, const TextValue& text, const TextValue& caption, unsigned style) {
  MessageBoxObserver observer;
  AcquireSRWLockShared(&g_observer_lock);
  if (Observer()) observer = Observer();
  ReleaseSRWLockShared(&g_observer_lock);
  if (observer) return observer(MessageBoxRequest{owner, text, caption, style});
  // The W function: the text reaches the box intact whatever the process's ANSI code page.
  return MessageBoxW(owner, WideFromGbk(text.View()).c_str(), WideFromGbk(caption.View()).c_str(),
                     style);
}

int AnswerThreadInfoBoxes(HWND keep) {
  struct Look {
    HWND keep;
    int answered;
  } look{keep, 0};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) CALLBACK -> BOOL {
        Look& look = *reinterpret_cast<Look*>(param);
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        // A box with a choice (OK and Cancel) is the user's to answer, never ours.
        if (window == look.keep || std::wstring_view(name) != L"#32770" ||
            GetDlgItem(window, IDOK) == nullptr || GetDlgItem(window, IDCANCEL) != nullptr)
          return TRUE;
        if (PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK))))
          ++look.answered;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&look));
  return look.answered;
}

MessageBoxObserver SetMessageBoxObserver(MessageBoxObserver observer) {
  AcquireSRWLockExclusive(&g_observer_lock);
  MessageBoxObserver previous = std::move(Observer());
  Observer() = std::move(observer);
  ReleaseSRWLockExclusive(&g_observer_lock);
  return previous;
}

int ShowMessage(const ValueSlot& content, const ValueSlot& style, const ValueSlot& caption,
                const ValueSlot& owner) {
  TextValue text;  // byte sets and arrays: an empty message
  if (IsScalarKind(content.kind) || content.kind == ValueKind::kText) text = ToText(content);
  const unsigned style_bits = style.IsGiven() ? static_cast<unsigned>(ToInteger(style)) : 0;
  const TextValue caption_text = caption.IsGiven() ? ToText(caption) : TextValue("信息");
  HWND owner_window = nullptr;
  if (owner.kind == ValueKind::kInteger) {
    owner_window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(owner.AsInt32()));
  }
  return ShowMessageBox(owner_window, text, caption_text, style_bits) - 1;
}

ValueSlot OwnerSlot(HWND owner) {
  // Window handles carry 32 significant bits, also in a 64-bit process.
  return ValueSlot::Integer(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(owner)));
}

}  // namespace belvane

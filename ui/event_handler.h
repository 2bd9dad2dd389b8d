#pragma once
// Event handlers: plain functions the application binds to window objects. The layer always
// passes seven arguments, 0 for those an event does not define; a handler reads only the ones
// it uses. Arguments are pointer-sized because some carry a window handle or a borrowed text.

#include <array>
#include <cstdint>

namespace belvane {

// The seven arguments of one event call.
struct EventArgs {
  std::array<std::intptr_t, 7> values{};
  // Argument i (0 to 6).
  std::intptr_t operator[](std::size_t i) const { return values[i]; }
};

// A bound handler; null means not bound. Its result is used only where an event says so.
using EventHandler = std::int32_t (*)(const EventArgs& args);

// Calls a handler with up to seven arguments; an unbound handler counts as returning 0.
template <typename... Values>
std::int32_t CallHandler(EventHandler handler, Values... values) {
  static_assert(sizeof...(Values) <= 7, "an event passes at most seven arguments");
  if (handler == nullptr) return 0;
  EventArgs args{{static_cast<std::intptr_t>(values)...}};
  return handler(args);
}

// Bits of the keyboard state passed with mouse and key events.
enum ModifierKey : std::int32_t { kCtrlDown = 1, kShiftDown = 2, kAltDown = 4 };

// The Ctrl, Shift and Alt keys that are down right now (GetAsyncKeyState), as ModifierKey bits.
std::int32_t ModifierKeys();

}  // namespace belvane

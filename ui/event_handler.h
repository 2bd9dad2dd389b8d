#pragma once
// Event handlers: what the application binds to window objects. The layer always passes seven
// arguments, 0 for those an event does not define; a handler reads only the ones it uses.
// Arguments are pointer-sized because some carry a window handle or a borrowed text.
//
// A handler is a plain function or a callable that carries its object, so a window or dialog
// is an object whose state lives in it: bind a member with EventHandler::Member(this, &X::On).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>

namespace belvane {

// The seven arguments of one event call.
struct EventArgs {
  std::array<std::intptr_t, 7> values{};
  // Argument i (0 to 6).
  std::intptr_t operator[](std::size_t i) const { return values[i]; }
};

// A bound handler; empty means not bound. Its result is used only where an event says so.
class EventHandler {
 public:
  using Function = std::int32_t (*)(const EventArgs& args);

  EventHandler() = default;
  EventHandler(std::nullptr_t) {}
  EventHandler(Function function) : function_(function) {}
  // Any callable taking the arguments (a lambda capturing its object); one returning void
  // counts as returning 0.
  template <typename Callable>
  requires(!std::is_same_v<std::decay_t<Callable>, EventHandler> &&
           std::is_invocable_v<const std::decay_t<Callable>&, const EventArgs&>)
      EventHandler(Callable callable) {
    using Stored = std::decay_t<Callable>;
    if constexpr (std::is_convertible_v<Stored, Function>) {
      function_ = static_cast<Function>(callable);
    } else if constexpr (std::is_void_v<std::invoke_result_t<const Stored&, const EventArgs&>>) {
      bound_ = [call = std::move(callable)](const EventArgs& args) -> std::int32_t {
        call(args);
        return 0;
      };
    } else {
      bound_ = std::move(callable);
    }
  }

  // `object->method(args)`, or `object->method()` for a method that reads no argument; a
  // method returning void counts as returning 0. The object must outlive the binding.
  template <typename Object, typename Method>
  static EventHandler Member(Object* object, Method method) {
    return EventHandler([object, method](const EventArgs& args) -> std::int32_t {
      if constexpr (std::is_invocable_v<Method, Object*, const EventArgs&>) {
        if constexpr (std::is_void_v<std::invoke_result_t<Method, Object*, const EventArgs&>>) {
          std::invoke(method, object, args);
          return 0;
        } else {
          return static_cast<std::int32_t>(std::invoke(method, object, args));
        }
      } else if constexpr (std::is_void_v<std::invoke_result_t<Method, Object*>>) {
        std::invoke(method, object);
        return 0;
      } else {
        return static_cast<std::int32_t>(std::invoke(method, object));
      }
    });
  }

  explicit operator bool() const { return function_ != nullptr || static_cast<bool>(bound_); }
  std::int32_t operator()(const EventArgs& args) const {
    if (function_ != nullptr) return function_(args);
    return bound_ ? bound_(args) : 0;
  }

  friend bool operator==(const EventHandler& handler, std::nullptr_t) { return !handler; }
  // True when the handler is exactly that plain function.
  friend bool operator==(const EventHandler& handler, Function function) {
    return !handler.bound_ && handler.function_ == function;
  }

 private:
  Function function_ = nullptr;
  std::function<std::int32_t(const EventArgs&)> bound_;
};

// Calls a handler with up to seven arguments; an unbound handler counts as returning 0. The
// handler is called through a copy, so one that rebinds its own slot finishes safely.
template <typename... Values>
std::int32_t CallHandler(const EventHandler& handler, Values... values) {
  static_assert(sizeof...(Values) <= 7, "an event passes at most seven arguments");
  if (!handler) return 0;
  const EventHandler call = handler;
  EventArgs args{{static_cast<std::intptr_t>(values)...}};
  return call(args);
}

// Bits of the keyboard state passed with mouse and key events.
enum ModifierKey : std::int32_t { kCtrlDown = 1, kShiftDown = 2, kAltDown = 4 };

// The Ctrl, Shift and Alt keys that are down right now (GetAsyncKeyState), as ModifierKey bits.
std::int32_t ModifierKeys();

}  // namespace belvane

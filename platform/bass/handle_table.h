#pragma once
// The table of live streams. A handle is (generation << 16) | (slot + 1): freed slots wait in a
// first-in first-out list and each reuse takes the slot's next generation, so a stale handle
// finds nothing instead of a later stream. Lookups hand out shared ownership, so a stream freed
// on one thread stays valid for a call already under way on another. One lock; safe from any
// thread.

#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace belvane::bass {

template <typename T>
class HandleTable {
 public:
  static constexpr size_t kMaxSlots = 0xFFFF;

  // The new handle, or 0 when the table is full.
  DWORD Add(std::shared_ptr<T> item) {
    std::lock_guard lock(mutex_);
    size_t slot;
    if (!free_.empty()) {
      slot = free_.front();
      free_.pop_front();
    } else if (slots_.size() < kMaxSlots) {
      slot = slots_.size();
      slots_.push_back(Slot{});
    } else {
      return 0;
    }
    Slot& s = slots_[slot];
    s.generation = s.generation == 0xFFFF ? 1 : s.generation + 1;
    s.item = std::move(item);
    return (static_cast<DWORD>(s.generation) << 16) | static_cast<DWORD>(slot + 1);
  }

  // The item of a live handle, or null.
  std::shared_ptr<T> Find(DWORD handle) {
    std::lock_guard lock(mutex_);
    Slot* s = SlotOf(handle);
    return s ? s->item : nullptr;
  }

  // Removes a live handle and gives back its item, or null.
  std::shared_ptr<T> Remove(DWORD handle) {
    std::lock_guard lock(mutex_);
    Slot* s = SlotOf(handle);
    if (!s) return nullptr;
    std::shared_ptr<T> item = std::move(s->item);
    s->item.reset();
    free_.push_back((handle & 0xFFFF) - 1);
    return item;
  }

  // Removes every live handle and gives back their items.
  std::vector<std::shared_ptr<T>> RemoveAll() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<T>> items;
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].item) {
        items.push_back(std::move(slots_[i].item));
        slots_[i].item.reset();
        free_.push_back(i);
      }
    }
    return items;
  }

 private:
  struct Slot {
    std::shared_ptr<T> item;
    unsigned generation = 0;
  };
  Slot* SlotOf(DWORD handle) {
    const size_t index = handle & 0xFFFF;
    if (index == 0 || index > slots_.size()) return nullptr;
    Slot& s = slots_[index - 1];
    if (!s.item || s.generation != (handle >> 16)) return nullptr;
    return &s;
  }

  std::mutex mutex_;
  std::vector<Slot> slots_;
  std::deque<size_t> free_;
};

}  // namespace belvane::bass

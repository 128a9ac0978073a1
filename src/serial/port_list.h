#pragma once
// The process-wide list of open dispatchers. A dispatcher's Handle is its index here; notifications
// carry it so that a receiver finds the dispatcher again. Slots hold weak references: the port component
// owns its dispatcher.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace serial {

class TLkBaseDispatcher;

class PortList {
 public:
  // Takes the lowest empty slot, appending only when none is empty; returns the index.
  static std::int32_t Add(const std::weak_ptr<TLkBaseDispatcher>& dispatcher);
  // Empties the slot, then drops empty slots from the end so the list never ends with one.
  static void Remove(std::int32_t handle);
  static std::shared_ptr<TLkBaseDispatcher> At(std::int32_t handle);
  static std::int32_t Count();

  // The live dispatcher of class T (or derived) whose ComHandle is `comHandle`. Descriptors are reused
  // at once on Linux, so nothing is cached: every look-up walks the list under its lock.
  template <typename T>
  static std::shared_ptr<T> GetTComRecPtr(std::int32_t comHandle);

 private:
  struct Slot {
    bool Used = false;
    std::weak_ptr<TLkBaseDispatcher> Dispatcher;
  };
  static std::mutex& Lock();
  static std::vector<Slot>& Slots();
  static std::int32_t ComHandleOf(const TLkBaseDispatcher& dispatcher);
};

template <typename T>
std::shared_ptr<T> PortList::GetTComRecPtr(std::int32_t comHandle) {
  std::lock_guard lock(Lock());
  for (const Slot& slot : Slots()) {
    if (!slot.Used) continue;
    auto d = slot.Dispatcher.lock();
    if (d && ComHandleOf(*d) == comHandle)
      if (auto typed = std::dynamic_pointer_cast<T>(d)) return typed;
  }
  return nullptr;
}

}  // namespace serial

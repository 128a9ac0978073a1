#include "serial/port_list.h"

#include "serial/dispatcher.h"

namespace serial {

std::mutex& PortList::Lock() {
  static std::mutex mutex;
  return mutex;
}

std::vector<PortList::Slot>& PortList::Slots() {
  static std::vector<Slot> slots;
  return slots;
}

std::int32_t PortList::ComHandleOf(const TLkBaseDispatcher& dispatcher) { return dispatcher.ComHandle.load(); }

std::int32_t PortList::Add(const std::weak_ptr<TLkBaseDispatcher>& dispatcher) {
  std::lock_guard lock(Lock());
  auto& slots = Slots();
  for (std::size_t i = 0; i < slots.size(); ++i)
    if (!slots[i].Used) {
      slots[i] = {true, dispatcher};
      return static_cast<std::int32_t>(i);
    }
  slots.push_back({true, dispatcher});
  return static_cast<std::int32_t>(slots.size() - 1);
}

void PortList::Remove(std::int32_t handle) {
  std::lock_guard lock(Lock());
  auto& slots = Slots();
  if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return;
  slots[static_cast<std::size_t>(handle)] = {};
  while (!slots.empty() && !slots.back().Used) slots.pop_back();
}

std::shared_ptr<TLkBaseDispatcher> PortList::At(std::int32_t handle) {
  std::lock_guard lock(Lock());
  auto& slots = Slots();
  if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return nullptr;
  return slots[static_cast<std::size_t>(handle)].Dispatcher.lock();
}

std::int32_t PortList::Count() {
  std::lock_guard lock(Lock());
  return static_cast<std::int32_t>(Slots().size());
}

}  // namespace serial

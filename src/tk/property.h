#pragma once
// Published properties: a name, typed access and an optional declared default. A form stream writes a
// property only when it differs from its default (one without a default is always written).
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "tk/exception.h"

namespace tk {

class Component;

struct Ident {
  std::string Name;
  friend bool operator==(const Ident&, const Ident&) = default;
};
using Binary = std::vector<std::uint8_t>;
// A reference to another component; streamed as its name and resolved once the whole tree is read.
struct ComponentRef {
  Component* Target = nullptr;
  friend bool operator==(const ComponentRef&, const ComponentRef&) = default;
};

// A set: the names of its members, in the order of the set type's values.
struct ValueSet {
  std::vector<std::string> Names;
  friend bool operator==(const ValueSet&, const ValueSet&) = default;
};
struct ValueList;

using Value =
    std::variant<std::monostate, std::int64_t, bool, std::string, double, Ident, Binary, ComponentRef, ValueSet, ValueList>;

// A list of values, each of any kind (lists inside lists too).
struct ValueList {
  std::vector<Value> Items;
  friend bool operator==(const ValueList&, const ValueList&) = default;
};

struct PropertyInfo {
  std::string Name;
  std::function<Value(const Component&)> Get;
  std::function<void(Component&, const Value&)> Set;
  std::optional<Value> Default;
  std::function<bool(const Component&)> Stored;  // empty: always stored

  bool ShouldWrite(const Component& c) const {
    if (Stored && !Stored(c)) return false;
    return !Default || Get(c) != *Default;
  }
};
using PropertyList = std::vector<PropertyInfo>;

namespace detail {
template <class T>
Value ToValue(const T& v) {
  if constexpr (std::is_same_v<T, bool>)
    return v;
  else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
    return static_cast<std::int64_t>(v);
  else if constexpr (std::is_floating_point_v<T>)
    return static_cast<double>(v);
  else
    return Value(v);
}
// A stream value of the wrong kind, or out of the range of the property's type, is refused with the
// reader's error before the setter sees it.
[[noreturn]] inline void InvalidPropertyValue() { throw EReadError("Invalid property value"); }
template <class A>
const A& Get(const Value& v) {
  const A* value = std::get_if<A>(&v);
  if (!value) InvalidPropertyValue();
  return *value;
}
template <class T>
T FromValue(const Value& v) {
  if constexpr (std::is_same_v<T, bool>) {
    return Get<bool>(v);
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<T>(FromValue<std::underlying_type_t<T>>(v));
  } else if constexpr (std::is_integral_v<T>) {
    const std::int64_t value = Get<std::int64_t>(v);
    // Through the standard integer of T's width, which in_range takes (char is not one).
    using Same = std::conditional_t<std::is_signed_v<T>, std::make_signed_t<T>, std::make_unsigned_t<T>>;
    if (!std::in_range<Same>(value)) InvalidPropertyValue();
    return static_cast<T>(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(Get<double>(v));
  } else {
    return Get<T>(v);
  }
}
}  // namespace detail

// A property over a getter and a setter of class C (the setter may take its value by copy or const&).
template <class C, class G, class S>
PropertyInfo MakeProperty(std::string name, G getter, S setter, std::optional<Value> def = std::nullopt) {
  using T = std::decay_t<decltype((std::declval<const C&>().*getter)())>;
  PropertyInfo p;
  p.Name = std::move(name);
  p.Get = [getter](const Component& c) { return detail::ToValue<T>((dynamic_cast<const C&>(c).*getter)()); };
  p.Set = [setter](Component& c, const Value& v) { (dynamic_cast<C&>(c).*setter)(detail::FromValue<T>(v)); };
  p.Default = std::move(def);
  return p;
}

// An enumeration streamed by the names of its values.
template <class C, class G, class S>
PropertyInfo MakeEnumProperty(std::string name, G getter, S setter, std::span<const char* const> names,
                              std::optional<int> def = std::nullopt) {
  using T = std::decay_t<decltype((std::declval<const C&>().*getter)())>;
  PropertyInfo p;
  p.Name = std::move(name);
  p.Get = [getter, names](const Component& c) {
    auto index = static_cast<std::size_t>((dynamic_cast<const C&>(c).*getter)());
    return Value(Ident{index < names.size() ? names[index] : ""});
  };
  p.Set = [setter, names](Component& c, const Value& v) {
    const std::string& text = detail::Get<Ident>(v).Name;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (text == names[i]) return (dynamic_cast<C&>(c).*setter)(static_cast<T>(i));
    detail::InvalidPropertyValue();
  };
  if (def) p.Default = Value(Ident{names[static_cast<std::size_t>(*def)]});
  return p;
}

// A set of an enumeration, held as a bit mask (bit i = value i), streamed by the names of its members.
template <class C, class G, class S>
PropertyInfo MakeSetProperty(std::string name, G getter, S setter, std::span<const char* const> names,
                             std::optional<std::uint64_t> def = std::nullopt) {
  using T = std::decay_t<decltype((std::declval<const C&>().*getter)())>;
  auto toValue = [names](std::uint64_t bits) {
    ValueSet set;
    for (std::size_t i = 0; i < names.size() && i < 64; ++i)
      if (bits & (std::uint64_t{1} << i)) set.Names.emplace_back(names[i]);
    return Value(std::move(set));
  };
  PropertyInfo p;
  p.Name = std::move(name);
  p.Get = [getter, toValue](const Component& c) {
    return toValue(static_cast<std::uint64_t>((dynamic_cast<const C&>(c).*getter)()));
  };
  p.Set = [setter, names](Component& c, const Value& v) {
    std::uint64_t bits = 0;
    for (const std::string& member : detail::Get<ValueSet>(v).Names) {
      std::size_t i = 0;
      while (i < names.size() && member != names[i]) ++i;
      if (i == names.size() || i >= 64) detail::InvalidPropertyValue();
      bits |= std::uint64_t{1} << i;
    }
    (dynamic_cast<C&>(c).*setter)(static_cast<T>(bits));
  };
  if (def) p.Default = toValue(*def);
  return p;
}

}  // namespace tk

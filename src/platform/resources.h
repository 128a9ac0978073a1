#pragma once
// Named binary resources compiled into the program (string tables). A library registers the resources it
// owns before it first looks one up; the generated tables come from zelta_string_table() in CMake.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform {

void RegisterResource(std::string_view name, std::span<const std::uint8_t> data);
std::optional<std::span<const std::uint8_t>> FindResource(std::string_view name);

}  // namespace platform

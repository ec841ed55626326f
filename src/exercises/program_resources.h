// Data compiled into the program (and into lectorix-tool): the built-in dictionary.
#pragma once

#include <optional>
#include <string_view>

namespace lectorix {

// The bytes of the resource of that type and name (letter case ignored), or nothing.
std::optional<std::string_view> FindProgramResource(std::string_view type, std::string_view name);

}  // namespace lectorix

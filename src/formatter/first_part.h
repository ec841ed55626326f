// A converted book's first chapters, handed over as a book of their own while the rest of the
// book is still being counted, so that its first page can be shown at once.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace lectorix {

using FirstPart = std::function<void(std::string)>;

// At least this much of the body (whole chapters) makes the first part: more than any page holds.
inline constexpr std::size_t kFirstPartChars = 16384;
// First chapters longer than this together are not handed over while the book is read: they
// would be counted twice.
inline constexpr std::size_t kFirstPartMax = 1 << 20;

}  // namespace lectorix

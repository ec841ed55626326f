// The large texts the benchmarks run on, built once per run from a Russian sample.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lectorix::bench {

// 20 MB, or LECTORIX_BENCH_SIZE bytes (the test suite's smoke run takes a small text).
size_t BookSize();

// The sample file's bytes as stored: UTF-8 with LF line ends.
const std::string& SampleUtf8();

// Copies of `piece` one after another, cut after the last line end within `size` bytes, so no
// character is split.
std::string RepeatToSize(std::string_view piece, size_t size);

// A book of BookSize() bytes as the reader holds it: CP1251 with CR LF line ends.
const std::string& BookCp1251();

}  // namespace lectorix::bench

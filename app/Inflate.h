#pragma once
// Expands raw deflate data (RFC 1951), as the About picture is stored.
#include <cstddef>
#include <cstdint>
#include <vector>

// Appends the expanded bytes to `out`. False when the data is malformed or
// would expand past `limit` bytes; `out` then holds what was expanded so far.
bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t limit,
             std::vector<std::uint8_t>& out);

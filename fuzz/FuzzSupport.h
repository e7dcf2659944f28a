#pragma once
// Shared bits of the fuzz targets.

#include <cstddef>
#include <cstdint>
#include <string>

inline std::string AsText(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

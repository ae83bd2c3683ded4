#pragma once

// Memory advice for buffers of many megabytes (a value of tens of megabytes
// on one line): hold them in huge pages, and give pages back to the system
// once their content has been copied elsewhere and will not be read again.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace refloom {

inline constexpr std::size_t kLargeBuffer = std::size_t{8} << 20;

// The whole pages of `size` bytes at `data`, rounded inwards, so that only
// memory belonging to the buffer is touched.
inline bool inner_pages(const void* data, std::size_t size, std::uintptr_t alignment, std::uintptr_t& from,
                        std::uintptr_t& to) {
  const auto first = reinterpret_cast<std::uintptr_t>(data);
  from = (first + alignment - 1) / alignment * alignment;
  to = (first + size) / alignment * alignment;
  return to > from;
}

// Asks for huge pages for a large buffer not yet written: a few hundred
// page faults instead of tens of thousands.
inline void prefer_huge_pages(const void* data, std::size_t size) {
  if (size < kLargeBuffer) return;
  std::uintptr_t from = 0;
  std::uintptr_t to = 0;
  if (inner_pages(data, size, std::uintptr_t{2} << 20, from, to)) {
    madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
}

// Gives the memory of bytes that were copied elsewhere back to the system;
// they read as zeros afterwards, so the caller must never read them again.
// Only whole huge pages go, so that none is left split and waiting to be
// freed: callers pass everything copied so far, from its start, each time.
inline void release_pages(const void* data, std::size_t size) {
  std::uintptr_t from = 0;
  std::uintptr_t to = 0;
  if (inner_pages(data, size, std::uintptr_t{2} << 20, from, to)) {
    madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
  }
}

}  // namespace refloom

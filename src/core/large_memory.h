#pragma once

// Memory advice for buffers of many megabytes (a value of tens of megabytes
// on one line): hold them in huge pages, and give pages back to the system
// once their content has been copied elsewhere and will not be read again.

#include <malloc.h>
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

// The heap a load fills with its references, held in huge pages: tens of
// thousands of small references otherwise cost a page fault every few
// of them, a quarter of a load's time. The C library grows its heap at
// the break; each stretch it adds is advised before the references are
// written into it (follow(), called as they are made), and it grows in
// steps of several huge pages, so that the advice finds whole ones.
class HugePageHeap {
 public:
  static constexpr std::size_t kStep = std::size_t{16} << 20;
  static constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

  HugePageHeap() {
    mallopt(M_TOP_PAD, static_cast<int>(kStep));
    advised_ = current_break();
  }
  void follow() {
    const std::uintptr_t now = current_break();
    if (now <= advised_) return;
    std::uintptr_t from = 0;
    std::uintptr_t to = 0;
    if (inner_pages(reinterpret_cast<const void*>(advised_), now - advised_, kHugePage, from, to)) {
      madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
    advised_ = now;
  }

 private:
  static std::uintptr_t current_break() { return reinterpret_cast<std::uintptr_t>(sbrk(0)); }
  std::uintptr_t advised_ = 0;
};

}  // namespace refloom

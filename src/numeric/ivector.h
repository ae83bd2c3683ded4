#pragma once

#include <cstddef>
#include <memory>

namespace refloom {

// An integer array addressed by the indices low..high, as the numeric
// routines count. Owns its storage.
class IVector {
 public:
  IVector(long low, long high, std::unique_ptr<long[]> storage)
      : low_(low), high_(high), storage_(std::move(storage)) {}

  long& operator[](long index) { return storage_[static_cast<std::size_t>(index - low_)]; }
  long operator[](long index) const { return storage_[static_cast<std::size_t>(index - low_)]; }
  long low() const { return low_; }
  long high() const { return high_; }

 private:
  long low_;
  long high_;
  std::unique_ptr<long[]> storage_;
};

// Allocates indices low..high; a failed allocation ends the process
// through runtime_error_exit("allocation failure in ivector()").
IVector ivector(long low, long high);

}  // namespace refloom

#include "numeric/ivector.h"

#include <limits>
#include <new>

#include "numeric/runtime_error.h"

namespace refloom {

IVector ivector(long low, long high) {
  long* storage = nullptr;
  if (high >= low) {
    const auto count = static_cast<unsigned long>(high) - static_cast<unsigned long>(low) + 1;
    if (count <= std::numeric_limits<std::size_t>::max() / sizeof(long)) {
      storage = new (std::nothrow) long[count];
    }
  }
  if (storage == nullptr) runtime_error_exit("allocation failure in ivector()");
  return IVector(low, high, std::unique_ptr<long[]>(storage));
}

}  // namespace refloom

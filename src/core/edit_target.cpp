#include "core/edit_target.h"

#include <algorithm>

namespace refloom {

void EditTarget::deleted(std::size_t deleted) {
  if (!index_) return;
  if (*index_ == deleted) {
    index_.reset();
  } else if (*index_ > deleted) {
    --*index_;
  }
}

void EditTarget::retained(const std::vector<std::size_t>& kept) {
  if (!index_) return;
  const auto found = std::lower_bound(kept.begin(), kept.end(), *index_);
  if (found == kept.end() || *found != *index_) {
    index_.reset();
  } else {
    index_ = static_cast<std::size_t>(found - kept.begin());
  }
}

}  // namespace refloom

#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace refloom {

// The database index of the reference an open edit form belongs to. Other
// commands stay usable while the form is open; they report their
// deletions here, so that the edit is stored into the reference it was
// started on, or not at all when that reference is gone.
class EditTarget {
 public:
  void start(std::size_t index) { index_ = index; }
  void finish() { index_.reset(); }
  std::optional<std::size_t> index() const { return index_; }

  // The reference at `deleted` was deleted; later ones moved up by one.
  void deleted(std::size_t deleted);
  // Only the references at these ascending indices were kept, in order.
  void retained(const std::vector<std::size_t>& kept);
  // Every reference was deleted.
  void cleared() { index_.reset(); }

 private:
  std::optional<std::size_t> index_;
};

}  // namespace refloom

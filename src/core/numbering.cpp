#include "core/numbering.h"

#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/bibtex_value.h"
#include "core/other_fields.h"
#include "numeric/sort.h"

namespace refloom {

RefIdAllocator::RefIdAllocator(std::vector<RefId> ids_in_use) : sorted_(std::move(ids_in_use)) {
  if (sorted_.empty()) return;
  sort(sorted_.size(), sorted_.data());
  smallest_ = sorted_.front();
  largest_ = sorted_.back();
}

RefId RefIdAllocator::peek() {
  if (sorted_.empty() && taken_ == 0) return 1;
  // Element k of the merged run (0-based) is compared with smallest + k.
  // The results taken so far sit just before sorted_[scanned_], so element
  // sorted_[i] stands at position i + taken_.
  using Wide = unsigned __int128;
  while (scanned_ < sorted_.size() && Wide{sorted_[scanned_]} <= Wide{smallest_} + scanned_ + taken_) {
    ++scanned_;
  }
  if (scanned_ < sorted_.size()) return static_cast<RefId>(smallest_ + scanned_ + taken_);
  if (largest_ < std::numeric_limits<RefId>::max()) return largest_ + 1;
  return smallest_ - 1;  // every number from the smallest up is in use
}

void RefIdAllocator::take(RefId id) {
  if (sorted_.empty() && taken_ == 0) {
    sorted_.push_back(id);
    smallest_ = largest_ = id;
    return;
  }
  if (id < smallest_) {
    smallest_ = id;  // only when nothing above is free: the run stays gap-free
  } else if (id > largest_) {
    largest_ = id;
  }
  ++taken_;
}

RefId next_refid(const ReferenceDatabase& database, std::size_t leading_count) {
  if (database.empty()) return 1;
  const std::size_t counted = std::min(leading_count, database.ref_count());
  std::vector<RefId> ids;
  ids.reserve(counted);
  for (std::size_t i = 0; i < counted; ++i) ids.push_back(database.reference(i).ref_id());
  return RefIdAllocator(std::move(ids)).peek();
}

void renumber_loaded(ReferenceDatabase& database, std::size_t first_new) {
  if (first_new == 0 || first_new >= database.ref_count()) return;
  std::vector<RefId> ids;
  ids.reserve(first_new);
  for (std::size_t i = 0; i < first_new; ++i) ids.push_back(database.reference(i).ref_id());
  RefIdAllocator allocator(std::move(ids));
  for (std::size_t i = first_new; i < database.ref_count(); ++i) {
    const RefId id = allocator.peek();
    allocator.take(id);
    database.reference(i).set_ref_id(id);
  }
}

void make_loaded_keys_unique(ReferenceDatabase& database, std::size_t first_new, std::ostream& messages) {
  auto& references = database.references();
  bool any_key = false;
  for (std::size_t i = first_new; i < references.size() && !any_key; ++i) {
    any_key = !references[i].citation_key().empty();
  }
  if (!any_key) return;

  // Nearly always no key is held twice: found without a string per key.
  {
    std::unordered_set<std::string_view, KeyHash, KeyEqual> keys;
    keys.reserve(references.size());
    bool repeated = false;
    for (const Reference& reference : references) {
      const std::string_view key = reference.citation_key();
      if (!key.empty() && !keys.insert(key).second) {
        repeated = true;
        break;
      }
    }
    if (!repeated) return;
  }

  std::unordered_set<std::string> used;
  for (std::size_t i = 0; i < first_new && i < references.size(); ++i) {
    if (!references[i].citation_key().empty()) used.insert(lower_case(references[i].citation_key()));
  }
  // The key each key of the file stands for now: that of its first entry.
  std::unordered_map<std::string, std::string> now_named;
  std::vector<std::pair<std::string, std::string>> renamed;
  for (std::size_t i = first_new; i < references.size(); ++i) {
    Reference& reference = database.reference(i);
    const std::string key(reference.citation_key());
    if (key.empty()) continue;
    std::string lowered = lower_case(key);
    std::string final_key = key;
    if (used.contains(lowered)) {
      for (std::size_t n = 0;; ++n) {
        const std::string suffix = key_suffix(n);
        if (used.contains(lowered + suffix)) continue;
        final_key = key + suffix;
        break;
      }
      ExtrasData extras = reference.extras().unpack();
      extras.citation_key = final_key;
      reference.set_extras(ReferenceExtras(extras));
      renamed.emplace_back(key, final_key);
    }
    now_named.emplace(lowered, final_key);
    used.insert(lower_case(final_key));
  }
  if (renamed.empty()) return;

  for (std::size_t i = first_new; i < references.size(); ++i) {
    Reference& reference = database.reference(i);
    const auto crossref = reference.text(kCrossref);
    if (!crossref) continue;
    const auto target = now_named.find(lower_case(*crossref));
    if (target != now_named.end() && !same_key(target->second, *crossref)) {
      reference.set_text(kCrossref, std::string(target->second));
    }
  }
  messages << "keys held already, renamed:";
  const char* separator = " ";
  for (const auto& [from, to] : renamed) {
    messages << separator << from << " -> " << to;
    separator = ", ";
  }
  messages << " \n";
}

}  // namespace refloom

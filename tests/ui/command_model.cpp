#include "command_model.h"

#include <algorithm>
#include <cwctype>
#include <functional>
#include <string>

#include "core/display_text.h"

namespace refloom::testing {

ModelReference model_reference(const Reference& reference) {
  ModelReference model;
  model.id = reference.ref_id();
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if (const auto text = reference.text(slot)) model.slots[static_cast<std::size_t>(slot)] = std::string(*text);
  }
  model.extras = reference.extras().unpack();
  return model;
}

Reference real_reference(const ModelReference& model) {
  Reference reference;
  reference.set_ref_id(model.id);
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const auto& text = model.slots[static_cast<std::size_t>(slot)];
    if (text) reference.set_text(slot, *text);
  }
  reference.set_extras(ReferenceExtras(model.extras));
  return reference;
}

std::vector<ModelReference> model_references(const ReferenceDatabase& database) {
  std::vector<ModelReference> models;
  for (const Reference& reference : database.references()) models.push_back(model_reference(reference));
  return models;
}

RefId CommandModel::next_refid(const std::vector<ModelReference>& references, std::size_t prefix) {
  if (references.empty()) return 1;
  std::vector<RefId> ids;
  for (std::size_t i = 0; i < std::min(prefix, references.size()); ++i) ids.push_back(references[i].id);
  if (ids.empty()) return 1;
  std::sort(ids.begin(), ids.end());
  // The k-th smallest (from 0) is compared with the smallest plus k.
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const RefId candidate = ids.front() + k;
    if (ids[k] > candidate) return candidate;
  }
  return ids.back() + 1;
}

void CommandModel::list(std::vector<std::size_t> indices) {
  listed = std::move(indices);
  count_shown = listed.size();
}

void CommandModel::loaded(const std::vector<ModelReference>& read, const std::string& path) {
  const std::size_t held = references.size();
  for (const ModelReference& reference : read) {
    references.push_back(reference);
    // Read into a database that held references: each new one is numbered
    // against every reference before it.
    if (held > 0) references.back().id = next_refid(references, references.size() - 1);
  }
  viewed_all();
  if (!references.empty()) data_commands = true;
  title = path;
  current_file = path;
}

namespace {

// What the edit buffer stores: empty texts become absent.
void store(ModelReference& reference, const FormEdits& edits) {
  for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
    if (edits.slots[slot]) reference.slots[slot] = edits.slots[slot];
    if (reference.slots[slot] && reference.slots[slot]->empty()) reference.slots[slot].reset();
  }
}

}  // namespace

std::string CommandModel::added(const FormEdits& edits, RefId proposed) {
  std::string message;
  ModelReference reference;
  reference.id = proposed;
  const bool taken = std::any_of(references.begin(), references.end(),
                                 [&](const ModelReference& held) { return held.id == proposed; });
  if (taken) {
    reference.id = proposed_id();
    message = "Ref. ID " + std::to_string(proposed) + " was taken meanwhile, reference stored as " +
              std::to_string(reference.id) + " \n";
  }
  reference.slots[kEntryTypeSlot] = "article";
  store(reference, edits);
  references.push_back(reference);
  listed.push_back(references.size() - 1);
  count_shown = references.size();
  data_commands = true;
  return message;
}

std::string CommandModel::edited(const FormEdits& edits) {
  const auto target = edit_target;
  edit_target.reset();
  if (!target) return "Reference deleted while being edited, changes not stored! \n";
  store(references[*target], edits);
  return "";
}

void CommandModel::deleted(std::size_t position) {
  const std::size_t index = listed[position - 1];
  references.erase(references.begin() + static_cast<std::ptrdiff_t>(index));
  listed.erase(listed.begin() + static_cast<std::ptrdiff_t>(position - 1));
  for (std::size_t& later : listed) {
    if (later > index) --later;
  }
  count_shown = listed.size();
  if (references.empty()) data_commands = false;
  if (edit_target && *edit_target == index) {
    edit_target.reset();
  } else if (edit_target && *edit_target > index) {
    --*edit_target;
  }
}

void CommandModel::reduced() {
  if (references.empty()) return;
  std::vector<ModelReference> kept;
  std::optional<std::size_t> target;
  for (std::size_t index : listed) {
    if (edit_target == index) target = kept.size();
    kept.push_back(references[index]);
  }
  edit_target = target;
  references = std::move(kept);
  for (std::size_t i = 0; i < listed.size(); ++i) listed[i] = i;
  if (references.empty()) data_commands = false;
}

namespace {

// The characters of a text as a UTF-8 display reads it: well-formed UTF-8,
// any other byte a Latin-1 character.
std::u32string characters(std::string_view text) {
  std::u32string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    const std::string_view sequence = text.substr(at, length == 0 ? 1 : length);
    if (length > 1 && (sequence.size() < length || !is_valid_utf8(sequence))) length = 0;
    if (length <= 1) {
      out.push_back(lead);
      ++at;
      continue;
    }
    char32_t code = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    out.push_back(code);
    at += length;
  }
  return out;
}

}  // namespace

bool CommandModel::contains(std::string_view text, std::string_view pattern, bool fold) {
  // In a UTF-8 locale folding makes every letter equal to its other case.
  if (fold && locale_is_utf8() &&
      std::any_of(pattern.begin(), pattern.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    std::u32string t = characters(text);
    std::u32string p = characters(pattern);
    for (char32_t& c : t) c = static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
    for (char32_t& c : p) c = static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
    return t.find(p) != std::u32string::npos;
  }
  const auto upper = [fold](char c) { return fold && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  if (pattern.size() > text.size()) return false;
  for (std::size_t start = 0; start + pattern.size() <= text.size(); ++start) {
    std::size_t k = 0;
    while (k < pattern.size() && upper(text[start + k]) == upper(pattern[k])) ++k;
    if (k == pattern.size()) return true;
  }
  return false;
}

bool CommandModel::all_fields_match(const ModelReference& reference, std::string_view text, bool fold) {
  for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
    if (reference.slots[slot] && contains(*reference.slots[slot], text, fold)) return true;
  }
  // The citation key and the values of the fields outside the 28.
  if (!reference.extras.citation_key.empty() && contains(reference.extras.citation_key, text, fold)) return true;
  return std::any_of(reference.extras.other_fields.begin(), reference.extras.other_fields.end(),
                     [&](const OtherField& field) { return contains(field.text, text, fold); });
}

namespace {

std::vector<std::size_t> combine(SearchMode mode, const std::vector<ModelReference>& references,
                                 const std::vector<std::size_t>& listed,
                                 const std::function<bool(const ModelReference&)>& matches,
                                 const std::function<bool(const ModelReference&)>& hits) {
  std::vector<std::size_t> result;
  switch (mode) {
    case SearchMode::kAnd:
      for (std::size_t index : listed) {
        if (matches(references[index])) result.push_back(index);
      }
      break;
    case SearchMode::kOr:
      for (std::size_t index = 0; index < references.size(); ++index) {
        const bool is_listed = std::find(listed.begin(), listed.end(), index) != listed.end();
        if (is_listed || matches(references[index])) result.push_back(index);
      }
      break;
    case SearchMode::kNot:
      for (std::size_t index : listed) {
        if (!hits(references[index])) result.push_back(index);
      }
      break;
  }
  return result;
}

}  // namespace

void CommandModel::searched_all_fields(SearchMode mode, std::string_view text, bool fold) {
  const auto match = [&](const ModelReference& reference) { return all_fields_match(reference, text, fold); };
  list(combine(mode, references, listed, match, match));
}

void CommandModel::searched_by_form(SearchMode mode, const SearchCriteria& criteria) {
  const bool fold = !case_sensitive;
  // Each criterion met or not, for one reference.
  const auto results = [&](const ModelReference& reference) {
    std::vector<bool> met;
    if (criteria.id != 0) met.push_back(reference.id == criteria.id);
    for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
      const std::string& wanted = criteria.slots[slot];
      if (wanted.empty()) continue;
      const auto& text = reference.slots[slot];
      if (!text) {
        met.push_back(false);
      } else if (slot == kReprint) {
        met.push_back(*text == wanted);
      } else {
        met.push_back(contains(*text, wanted, fold));
      }
    }
    return met;
  };
  const auto matches = [&](const ModelReference& reference) {
    const auto met = results(reference);
    return std::all_of(met.begin(), met.end(), [](bool value) { return value; });
  };
  const auto hits = [&](const ModelReference& reference) {
    const auto met = results(reference);
    return std::any_of(met.begin(), met.end(), [](bool value) { return value; });
  };
  list(combine(mode, references, listed, matches, hits));
}

void CommandModel::viewed_all() {
  std::vector<std::size_t> all(references.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  list(std::move(all));
}

void CommandModel::emptied() {
  edit_target.reset();
  references.clear();
  listed.clear();
  count_shown = 0;
  data_commands = false;
  title = kProgramTitle;
  blocks.clear();
}

void CommandModel::saved(const std::string& path) {
  title = path;
  current_file = path;
}

std::string value_after_save(std::string_view value) {
  std::size_t stray_closing = 0;
  std::size_t open = 0;
  for (char c : value) {
    if (c == '{') {
      ++open;
    } else if (c == '}') {
      if (open == 0) {
        ++stray_closing;
      } else {
        --open;
      }
    }
  }
  return std::string(stray_closing, '{') + std::string(value) + std::string(open, '}');
}

}  // namespace refloom::testing

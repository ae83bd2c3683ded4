#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/bibtex_value.h"
#include "core/fields.h"
#include "core/reference.h"

namespace refloom {

// The scratch record through which references are typed in, shown and
// searched for. Every text slot (1..29) always holds a text; a field that is
// not set is the empty text. Beyond the slots it holds the citation key
// (kCitationKeyText) and the other fields as the form shows them
// (kOtherFieldsText).
struct EditBuffer {
  RefId ref_id = 0;
  std::array<std::string, kEditTextCount> slots;  // index 0 unused
  // The other fields as they were shown when the buffer was loaded: an
  // unchanged text keeps them exactly as they were.
  std::string other_fields_shown;

  std::string& text(int slot) { return slots[static_cast<std::size_t>(slot)]; }
  const std::string& text(int slot) const { return slots[static_cast<std::size_t>(slot)]; }
};

// What a BibTeX file holds besides its entries, kept in file order so that
// a save writes it back: @preamble and @string at the top of the file,
// @comment after the entries.
struct BibtexBlock {
  enum class Kind { kPreamble, kString, kComment };
  Kind kind = Kind::kComment;
  std::string name;    // @string: the macro's name as written
  std::string text;    // @preamble, @string: the expanded text; @comment: the block as written
  std::string source;  // @preamble, @string: the source form when it used macros or "#"
  friend bool operator==(const BibtexBlock&, const BibtexBlock&) = default;
};

// The whole database: the references in database order and the edit buffer.
//
// Two numberings are used: a database index (0-based) for deleting, listing
// and the edit buffer, and a reference number (1-based, the index plus one)
// for the setters that readers and importers call. A number or index that
// names no reference changes nothing.
class ReferenceDatabase {
 public:
  std::size_t ref_count() const { return refs_.size(); }
  bool empty() const { return refs_.empty(); }

  const Reference& reference(std::size_t index) const { return refs_[index]; }
  Reference& reference(std::size_t index) { return refs_[index]; }
  const std::vector<Reference>& references() const { return refs_; }

  // Appends a reference with every slot absent and RefId 0.
  void add_reference();
  // Appends a finished reference (what add_reference and the setters would
  // have produced), the fast path of the readers.
  void append_reference(Reference reference);
  // Deletes the reference at a database index; later ones move up by one.
  void delete_reference(std::size_t index);
  // Keeps only the references at the given ascending distinct indices, in
  // their order; the same as deleting every other reference one by one.
  void retain(const std::vector<std::size_t>& ascending_indices);
  void reserve(std::size_t count) { refs_.reserve(count); }
  // Deletes every reference; the edit buffer stays as it is.
  void remove_all_references();
  // Keeps the first `references` references and `blocks` blocks, as they
  // were before something was appended (frees, never allocates).
  void truncate(std::size_t references, std::size_t blocks);

  // The @preamble, @string and @comment blocks of the files loaded.
  const std::vector<BibtexBlock>& blocks() const { return blocks_; }
  void add_block(BibtexBlock block) { blocks_.push_back(std::move(block)); }
  void remove_all_blocks();
  // The macros of the @string blocks, in order (with the months).
  MacroTable macros() const;

  // Setters by 1-based reference number.
  void set_ref_id(std::size_t number, RefId value);
  void set_entry_type(std::size_t number, std::string_view text);
  void set_title(std::size_t number, std::string_view text);
  void set_booktitle(std::size_t number, std::string_view text);
  void set_institution(std::size_t number, std::string_view text);
  void set_abstract(std::size_t number, std::string_view text);
  // The first `length` characters of text (all of it if shorter).
  void set_journal_n(std::size_t number, std::string_view text, std::size_t length);
  // The part of text before its first ':' (all of it without one).
  void set_volume_before_colon(std::size_t number, std::string_view text);
  void set_pages(std::size_t number, std::string_view text);
  void append_keyword(std::size_t number, std::string_view text);
  void set_comment(std::size_t number, std::string_view text);
  void set_month(std::size_t number, std::string_view text);
  // Appends to the field of that name (one of the 28); other names do nothing.
  void append_field(std::string_view name, std::size_t number, std::string_view text);

  EditBuffer& edit_buffer() { return edit_buffer_; }
  const EditBuffer& edit_buffer() const { return edit_buffer_; }

  // Every text slot of the edit buffer becomes empty; the RefId stays.
  void clear_edit_buffer();
  // Copies the reference at `index` into the edit buffer (absent = empty),
  // its citation key and its other fields too.
  void load_edit_buffer(std::size_t index);
  // Copies the edit buffer into the reference at `index`; empty texts
  // become absent. The citation key and the other fields are taken as
  // typed (check_edit_buffer tells whether they can be); the source forms
  // stay, a save uses them only for texts they still stand for.
  void store_edit_buffer(std::size_t index);
  // The EntryType of the reference's entry type name; -1 for any other name
  // and for a reference without one.
  EntryType entry_type_index(std::size_t index) const;

 private:
  Reference* by_number(std::size_t number);
  void set_slot(std::size_t number, int slot, std::string_view text);

  std::vector<Reference> refs_;
  std::vector<BibtexBlock> blocks_;
  EditBuffer edit_buffer_;
};

}  // namespace refloom

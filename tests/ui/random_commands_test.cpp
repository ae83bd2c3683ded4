// Seeded random sequences of commands through the real menus, dialogs and
// form, with real input, each command followed by a comparison of what the
// window shows with an independent model (command_model.h): the list lines,
// the count line, the data commands, the database field by field, unique
// RefIds, the title, the case setting and the messages; every save is read
// back and compared with the model too.
//
// REFLOOM_SEED=n replays one sequence, REFLOOM_COMMANDS=n sets its length,
// REFLOOM_TRACE=1 prints each command as it starts. RandomCommands.Soak
// runs new sequences, each in a fresh main window, for REFLOOM_SOAK_MINUTES
// minutes (make soak).

#include "gui_test.h"

#include <X11/IntrinsicP.h>
#include <X11/keysym.h>
#include <Xm/FileSB.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>
#include <Xm/ToggleBG.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>

#include "command_model.h"
#include "core/bibtex_value.h"
#include "core/bibtex_writer.h"
#include "core/display_text.h"
#include "core/listed_references.h"
#include "core/other_fields.h"
#include "import/load.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"

namespace refloom::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The files a sequence loads, written anew into its own directory.
struct PreparedFile {
  std::string_view name;
  FileType type;
  std::string_view content;
};

const PreparedFile kPreparedFiles[] = {
    {"good.bib", FileType::kBibtex,
     "@article{3,\n"
     "author     = \"M\\\"uller, Hans and Smith, John\",\n"
     "journal    = \"Nature\",\n"
     "pages      = \"10--20\",\n"
     "title      = \"On {Braces} and {\"}quotes{\"} in long titles\",\n"
     "volume     = \"12\",\n"
     "year       = \"1995\",\n"
     "}\n\n"
     "@book{5,\n"
     "address    = \"Z\xC3\xBCrich\",\n"
     "author     = \"Doe, Jane\",\n"
     "publisher  = \"Big Books\",\n"
     "reprint    = \"IN FILE\",\n"
     "title      = {A \"quoted\" word},\n"
     "year       = \"2001\",\n"
     "}\n\n"
     "@inproceedings{6,\n"
     "author     = \"Smithson, Ann-Kathrin\",\n"
     "booktitle  = \"Proceedings of the 3rd Meeting\",\n"
     "note       = \"\xCE\xB1-helix\",\n"
     "title      = \"Stra\xC3\x9F"
     "e und Caf\xC3\xA9\",\n"
     "year       = \"19999\",\n"
     "}\n\n"
     "@misc{10,\n"
     "howpublished = \"by hand\",\n"
     "keyword    = \"first\n"
     "second\",\n"
     "reprint    = \"NOT IN FILE\",\n"
     "title      = \"\xE2\x82\xAC 100 and \xE5\x8C\x97 in one title of more than thirty bytes\",\n"
     "}\n\n"},
    // A format error in the second entry stops the reading there.
    {"broken.bib", FileType::kBibtex,
     "@article{1,\n"
     "author = {Early, Eve},\n"
     "title = {Before the error},\n"
     "year = {2000},\n"
     "}\n"
     "@book{2,\n"
     "title = {Second},\n"
     "year = 2001,\n"
     "}\n"
     "@misc{4,\n"
     "title = {Never read},\n"
     "}\n"},
    {"any.bib", FileType::kBibtexAny,
     "@String{jir = \"Journal of Irreproducible Results\"}\n"
     "\n"
     "@Article{smith2020,\n"
     "  Author = {Smith, Anne and van Dyke, Bob},\n"
     "  Title = \"Text keys and macros\",\n"
     "  Journal = jir,\n"
     "  Year = 2020,\n"
     "  Month = jan,\n"
     "  DOI = {10.1000/xyz}\n"
     "}\n"
     "\n"
     "@book{jones99, title = {Comma {First}}, year = {1999}, author = {Jones, Carl}}\n"
     "\n"
     "@Online{web1,\n"
     "  title = {A type the form does not know},\n"
     "  note = {Seen 2024},\n"
     "}\n"},
    {"export.nbib", FileType::kNbib,
     "PMID- 1001\n"
     "TI  - A PubMed title about \xCE\xB1 waves.\n"
     "FAU - M\xC3\xBCller, J\xC3\xBCrgen\n"
     "AU  - M\xC3\xBCller J\n"
     "FAU - Chen, Wei\n"
     "AU  - Chen W\n"
     "DP  - 2019 Mar\n"
     "TA  - Sleep\n"
     "VI  - 42\n"
     "IP  - 3\n"
     "PG  - 100-10\n"
     "AB  - First line of the abstract\n"
     "      continued here.\n"
     "\n"
     "PMID- 1002\n"
     "TI  - Second record\n"
     "FAU - Doe, John\n"
     "DP  - 2020\n"
     "JT  - Journal of Tests\n"},
    {"export.ris", FileType::kRis,
     "TY  - JOUR\r\nAU  - John Smith\r\nTI  - RIS article\r\nT2  - Science\r\nPY  - 2018\r\nER  - \r\n"
     "TY  - BOOK\r\nAU  - Ada Lovelace\r\nTI  - Notes\r\nPB  - Press\r\nPY  - 1843\r\nER  - \r\n"},
    // Reads no reference.
    {"empty.bib", FileType::kBibtex, "no entries here\n"},
};

constexpr std::string_view kMissingFile = "missing.bib";
constexpr std::string_view kUnwritablePath = "nodir/out.bib";
const std::string_view kSaveNames[] = {"out1.bib", "out2.bib", "out3.bib"};

// Characters typed besides printable ASCII, in a UTF-8 locale.
struct WideCharacter {
  std::string_view utf8;
  KeySym keysym;
};
const WideCharacter kWideCharacters[] = {
    {"\xC3\xA9", XK_eacute},     {"\xC3\xBC", XK_udiaeresis},
    {"\xC3\x9F", XK_ssharp},     {"\xCE\xB1", 0x7e1},  // Greek alpha
    {"\xE2\x82\xAC", 0x20ac},                          // euro sign
    {"\xE5\x8C\x97", 0x1005317},
};

// The fields that hold several lines (the rows and the bottom block).
bool multi_line(int slot) {
  switch (slot) {
    case kTitle:
    case kBooktitle:
    case kSeries:
    case kType:
    case kAuthor:
    case kInstitution:
    case kOrganization:
    case kSchool:
    case kEditor:
    case kPublisher:
    case kAddress:
    case kAbstract:
    case kKeyword:
    case kNote:
    case kAnnote:
    case kComment:
      return true;
    default:
      return false;
  }
}

int slot_of_label(std::string_view label) {
  if (label == "Ref. ID:") return kRefIdSlot;
  for (const FormTextField& field : kFormTextFields) {
    if (field.label == label) return field.slot;
  }
  // Below the bottom block, with widget names of their own.
  if (label == "Citation key:") return kCitationKeyText;
  if (label == "Other fields:") return kOtherFieldsText;
  return -1;
}

constexpr std::string_view kEntryTypes[] = {"article",       "book",       "booklet",       "inbook", "incollection",
                                            "inproceedings", "manual",     "mastersthesis", "misc",   "phdthesis",
                                            "proceedings",   "techreport", "unpublished"};
constexpr std::string_view kReprints[] = {"IN FILE", "NOT IN FILE"};

// A text as the command log shows it: in quotes, line feeds and quotes
// escaped.
std::string in_quotes(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string lines_text(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "    " + in_quotes(line) + "\n";
  return out.empty() ? "    (none)\n" : out;
}

// The characters of a text: UTF-8 sequences, any other byte on its own.
std::vector<std::string> characters_of(std::string_view text) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = std::max<std::size_t>(1, utf8_prefix_bytes(text.substr(i), 1));
    characters.emplace_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

// The whole text of a compound string, its line breaks included: a line
// feed in a field makes a list item of two lines (separators).
std::string item_text(XmString item) {
  std::string text;
  XmStringContext context = nullptr;
  if (!XmStringInitContext(&context, item)) return text;
  char* segment = nullptr;
  XmStringCharSet charset = nullptr;
  XmStringDirection direction = 0;
  Boolean separator = False;
  while (XmStringGetNextSegment(context, &segment, &charset, &direction, &separator)) {
    text += segment;
    if (separator) text += '\n';
    XtFree(segment);
    XtFree(charset);
  }
  XmStringFreeContext(context);
  return text;
}

std::vector<std::string> list_lines() {
  XmStringTable items = nullptr;
  int count = 0;
  XtVaGetValues(ui::reflist, XmNitems, &items, XmNitemCount, &count, nullptr);
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) lines.push_back(item_text(items[i]));
  return lines;
}

std::optional<std::uint64_t> number_from_environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::strtoull(value, nullptr, 10);
}

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }
  bool chance(std::size_t percent) { return below(100) < percent; }

 private:
  std::mt19937_64 engine_;  // the same sequence on every platform
};

class RandomCommands : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    if (HasFatalFailure()) return;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    utf8_ = locale_is_utf8();
    if (utf8_) map_wide_characters();
    trace_ = std::getenv("REFLOOM_TRACE") != nullptr;
  }

  void TearDown() override {
    if (!old_cwd_.empty() && chdir(old_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << old_cwd_;
    GuiTest::TearDown();
  }

  // A fresh main window, as at start-up.
  void fresh_window() {
    GuiTest::TearDown();
    GuiTest::SetUp();
  }

  int commands_per_sequence(int otherwise) const {
    return static_cast<int>(
        number_from_environment("REFLOOM_COMMANDS").value_or(static_cast<std::uint64_t>(otherwise)));
  }

  // Runs one sequence of `commands` commands (fewer once `deadline` has
  // passed); returns how many ran and held. The first difference fails the
  // test with the seed, the command number and the command log.
  int run_sequence(std::uint64_t seed, int commands, Clock::time_point deadline);

  std::string_view locale_name() const { return utf8_ ? "C.UTF-8" : "C"; }

 private:
  // Each key that types a character beyond ASCII gets a keycode the
  // keyboard leaves free.
  void map_wide_characters();

  void note(const std::string& text) {
    log_.push_back(side_command_ ? "(while the form is open) " + text : text);
    if (trace_) std::cout << "  " << log_.size() << " " << log_.back() << std::endl;
  }
  // More of the command that opened the form.
  void note_more(const std::string& text) {
    log_[form_entry_] += text;
    if (trace_) std::cout << "      " << text << std::endl;
  }
  void note_form_command(const std::string& text) {
    note(text);
    form_entry_ = log_.size() - 1;
  }
  void problem(const std::string& text) { problems_ += text + "\n"; }

  void random_command();
  void load_command();
  void add_command();
  void edit_command();
  void delete_command();
  void search_all_command();
  void form_search_command();
  void save_command(bool check);
  void simple_command(const std::string& cascade, const std::string& entry);
  void side_command();
  void raise_form_command();

  // The form's steps: types into fields and picks options; fills `edits`.
  void fill_form(FormEdits& edits, ui::FormMode mode, std::size_t steps);
  void answer_form(bool ok);
  bool in_form(const std::function<void()>& trigger, const std::function<void(Widget)>& steps);
  void check_form_shows(Widget shell, const ModelReference* reference);

  Widget open_load_dialog();
  Widget open_save_dialog();
  Widget open_search_dialog();
  std::vector<Widget> search_dialogs() const;
  void click_format(Widget dialog, FileType type);
  void type_text(std::string_view text);
  void type_into_field(Widget field, std::string_view text);
  std::optional<std::pair<int, int>> visible_point(Widget widget);
  ReferenceDatabase model_database() const;
  void close_message_dialog();
  void read_back_saved(const std::string& path);

  // A text to type; line breaks only into a field of several lines.
  std::string random_text(bool line_breaks = false);
  std::string search_text(int slot);
  bool typeable(std::string_view character) const;
  std::string line_of(const ModelReference& reference) const;

  std::string differences(bool form_open = false);
  void report(std::uint64_t seed, int command, int commands, const std::string& differences);

  std::string old_cwd_;
  bool utf8_ = false;
  bool trace_ = false;
  int sequence_ = 0;

  // One sequence's state.
  std::optional<Random> random_;
  CommandModel model_;
  std::vector<std::string> log_;
  std::string problems_;
  std::string expected_messages_;
  int check_saves_ = 0;
  std::size_t form_entry_ = 0;  // the log entry of the command that opened the form
  bool side_command_ = false;
  // The current command's message dialog was looked at already.
  bool message_dialog_checked_ = false;
  // After a load that opened its file: "n references read from path", and
  // the lines on the format that only the screen shows.
  std::optional<std::string> expected_load_;
  std::string expected_hints_;
  std::vector<std::string> saved_files_;
};

void RandomCommands::map_wide_characters() {
  int min_code = 0;
  int max_code = 0;
  XDisplayKeycodes(display(), &min_code, &max_code);
  for (const WideCharacter& character : kWideCharacters) {
    if (XKeysymToKeycode(display(), character.keysym) != 0) continue;
    int code = max_code;
    while (code >= min_code) {
      int per_code = 0;
      KeySym* syms = XGetKeyboardMapping(display(), static_cast<KeyCode>(code), 1, &per_code);
      bool free_code = true;
      for (int i = 0; i < per_code; ++i) free_code = free_code && syms[i] == NoSymbol;
      XFree(syms);
      if (free_code) break;
      --code;
    }
    ASSERT_GE(code, min_code) << "no free keycode";
    KeySym syms[1] = {character.keysym};
    XChangeKeyboardMapping(display(), code, 1, syms, 1);
    XSync(display(), False);
  }
  pump(200);
}

int RandomCommands::run_sequence(std::uint64_t seed, int commands, Clock::time_point deadline) {
  ++sequence_;
  random_.emplace(seed);
  model_ = CommandModel();
  log_.clear();
  check_saves_ = 0;
  saved_files_.clear();
  std::cout << "random commands: seed " << seed << ", " << commands << " commands, locale " << locale_name()
            << std::endl;

  // Each sequence starts from the same files in a directory of its own, so
  // that a seed replays exactly.
  const std::string directory = dir_.file("sequence" + std::to_string(sequence_));
  if (mkdir(directory.c_str(), 0700) != 0 || chdir(directory.c_str()) != 0) {
    ADD_FAILURE() << "cannot use " << directory;
    return 0;
  }
  for (const PreparedFile& file : kPreparedFiles) write_file(std::string(file.name), file.content);

  int ran = 0;
  for (int command = 1; command <= commands; ++command) {
    const bool last = command == commands || Clock::now() >= deadline;
    const auto started = Clock::now();
    clear_messages();
    expected_messages_.clear();
    expected_load_.reset();
    expected_hints_.clear();
    message_dialog_checked_ = false;
    problems_.clear();
    // Every save is read back; a save at fixed points and at the end makes
    // sure that it happens.
    if ((command % 25 == 0 || last) && model_.data_commands) {
      save_command(true);
    } else {
      random_command();
    }
    close_message_dialog();
    const std::string found = differences();
    if (!found.empty() || HasFailure()) {
      report(seed, command, commands, found);
      return ran;
    }
    ++ran;
    if (trace_) {
      std::cout << "      -> " << model_.references.size() << " references, " << model_.listed.size() << " listed, "
                << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count() << " ms"
                << std::endl;
    }
    if (last) break;
  }
  return ran;
}

void RandomCommands::random_command() {
  enum class Command { kLoad, kAdd, kEdit, kDelete, kReduce, kSearchAll, kFormSearch, kViewAll, kCase, kNew, kSave };
  struct Choice {
    Command command;
    int weight;
    bool needs_data;
  };
  static const Choice kChoices[] = {
      {Command::kLoad, 11, false},      {Command::kAdd, 14, false},   {Command::kEdit, 13, true},
      {Command::kDelete, 8, true},      {Command::kReduce, 3, true},  {Command::kSearchAll, 13, true},
      {Command::kFormSearch, 11, true}, {Command::kViewAll, 6, true}, {Command::kCase, 5, true},
      {Command::kNew, 2, true},         {Command::kSave, 7, true},
  };
  // An empty listing of a held database is where Reduce, Edit and Delete
  // meet their edge cases: Reduce is tried more often there.
  const auto weight = [&](const Choice& choice) {
    if (choice.needs_data && !model_.data_commands) return 0;
    if (choice.command == Command::kReduce && model_.listed.empty()) return 30;
    return choice.weight;
  };
  int total = 0;
  for (const Choice& choice : kChoices) total += weight(choice);
  int pick = static_cast<int>(random_->below(static_cast<std::size_t>(total)));
  Command chosen = Command::kLoad;
  for (const Choice& choice : kChoices) {
    if (pick < weight(choice)) {
      chosen = choice.command;
      break;
    }
    pick -= weight(choice);
  }
  switch (chosen) {
    case Command::kLoad:
      load_command();
      return;
    case Command::kAdd:
      add_command();
      return;
    case Command::kEdit:
      edit_command();
      return;
    case Command::kDelete:
      delete_command();
      return;
    case Command::kReduce:
      note("Reduce to listed references");
      simple_command("Edit", "Reduce to listed references");
      model_.reduced();
      return;
    case Command::kSearchAll:
      search_all_command();
      return;
    case Command::kFormSearch:
      form_search_command();
      return;
    case Command::kViewAll:
      note("View all references");
      simple_command("Search", "View all references");
      model_.viewed_all();
      return;
    case Command::kCase:
      note("Case sensitive");
      simple_command("Search", "Case sensitive");
      model_.toggled_case();
      return;
    case Command::kNew:
      note("New");
      simple_command("File", "New");
      model_.emptied();
      return;
    case Command::kSave:
      save_command(false);
      return;
  }
}

void RandomCommands::simple_command(const std::string& cascade, const std::string& entry) {
  choose(cascade, entry);
  pump();
}

// --- Load --------------------------------------------------------------

Widget RandomCommands::open_load_dialog() {
  choose("File", "Load");
  if (!pump_until([this] { return ui::load_dialog != nullptr && is_shown(ui::load_dialog); })) {
    problem("File > Load showed no dialog");
    return nullptr;
  }
  return ui::load_dialog;
}

void RandomCommands::click_format(Widget dialog, FileType type) {
  Widget filetype = find_in(dialog, "*filetype");
  const int position = static_cast<int>(type);
  XmListSetBottomPos(filetype, position);
  pump(30);
  Position x = 0;
  Position y = 0;
  Dimension width = 0;
  Dimension height = 0;
  if (!XmListPosToBounds(filetype, position, &x, &y, &width, &height)) {
    problem("format " + std::to_string(position) + " is not shown in the list");
    return;
  }
  click_at(filetype, x + width / 2, y + height / 2);
}

void RandomCommands::load_command() {
  std::string name;
  FileType type = FileType::kBibtex;
  const std::size_t roll = random_->below(100);
  if (roll < 6) {
    name = kMissingFile;
  } else if (roll < 22 && !saved_files_.empty()) {
    name = saved_files_[random_->below(saved_files_.size())];
  } else {
    const PreparedFile& file = kPreparedFiles[random_->below(std::size(kPreparedFiles))];
    name = file.name;
    type = file.type;
  }
  if (random_->chance(12)) type = formats()[random_->below(formats().size())].type;
  note("Load " + name + " as " + std::string(file_type_label(type)));

  // What the file gives, read without the window into a database that
  // holds as many references as the window's (messages count them); the
  // model numbers them itself.
  ReferenceDatabase read;
  for (const ModelReference& reference : model_.references) read.append_reference(real_reference(reference));
  for (const BibtexBlock& block : model_.blocks) read.add_block(block);
  std::ostringstream read_messages;
  FormatHints hints;
  const ReadResult result = load_file(read, name, type, read_messages, hints);
  const std::vector<BibtexBlock> blocks_read = read.blocks();
  expected_messages_ = read_messages.str();
  std::vector<ModelReference> read_in = model_references(read);
  read_in.erase(read_in.begin(), read_in.begin() + static_cast<std::ptrdiff_t>(model_.references.size()));
  if (result != ReadResult::kCannotOpen) {
    expected_load_ =
        std::to_string(read_in.size()) + (read_in.size() == 1 ? " reference" : " references") + " read from " + name;
    if (hints.todays_bibtex) {
      expected_hints_ +=
          "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".\n";
    }
    if (hints.no_reference) {
      expected_hints_ += "No reference found in this file with the format \"" + std::string(file_type_label(type)) +
                         "\": it may be in another format.\n";
    }
  }

  Widget dialog = open_load_dialog();
  if (dialog == nullptr) return;
  click_format(dialog, type);
  const std::string title = "Load " + std::string(file_type_label(type));
  if (title_of(XtParent(dialog)) != title) {
    problem("the Load dialog's title is " + in_quotes(title_of(XtParent(dialog))) + ", expected " + in_quotes(title));
  }
  type_into_field(XmFileSelectionBoxGetChild(dialog, XmDIALOG_TEXT), name);
  click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  close_message_dialog();
  if (result == ReadResult::kCannotOpen) {
    // Nothing changes, and the dialog stays open for another name.
    if (!is_shown(dialog)) problem("the Load dialog closed after a file that cannot be opened");
    click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));
    return;
  }
  model_.loaded(read_in, name);
  model_.blocks = blocks_read;
  if (!pump_until([&] { return !is_shown(dialog); }, 2000)) problem("the Load dialog stayed open");
}

// --- The form ------------------------------------------------------------

bool RandomCommands::in_form(const std::function<void()>& trigger, const std::function<void(Widget)>& steps) {
  const bool ran = while_form_open(trigger, steps);
  if (!ran) problem("the form did not open");
  return ran;
}

void RandomCommands::check_form_shows(Widget shell, const ModelReference* reference) {
  std::vector<std::string> labels = {"Key:", "Crossref:", "Citation key:", "Other fields:"};
  for (const std::string& label : form_labels(shell)) labels.push_back(label);
  for (const std::string& label : labels) {
    const int slot = slot_of_label(label);
    if (slot < 0) {
      problem("the form shows an unknown label " + in_quotes(label));
      continue;
    }
    std::string expected;
    if (reference != nullptr && slot == kCitationKeyText) {
      expected = reference->extras.citation_key;
    } else if (reference != nullptr && slot == kOtherFieldsText) {
      MacroTable macros;
      for (const BibtexBlock& block : model_.blocks) {
        if (block.kind == BibtexBlock::Kind::kString) macros.define(block.name, block.text);
      }
      expected = format_other_fields(reference->extras.other_fields, macros);
    } else if (reference != nullptr && reference->slots[static_cast<std::size_t>(slot)]) {
      expected = *reference->slots[static_cast<std::size_t>(slot)];
    }
    if (utf8_) expected = utf8_for_display(expected);
    Widget field = slot == kCitationKeyText   ? find_in(shell, "form.keyText")
                   : slot == kOtherFieldsText ? find_in(shell, "form.otherFieldsText")
                                              : form_field(shell, label);
    const std::string shown = text_of(field);
    if (shown != expected)
      problem("the form shows " + label + " " + in_quotes(shown) + ", expected " + in_quotes(expected));
  }
}

void RandomCommands::fill_form(FormEdits& edits, ui::FormMode mode, std::size_t steps) {
  for (std::size_t step = 0; step < steps; ++step) {
    Widget shell = ui::open_form_shell();
    if (shell == nullptr) {
      problem("the form went away while it was filled in");
      return;
    }
    // Now and then another command from the main window, once per form:
    // the form waits without a grab.
    if (!side_command_ && random_->chance(8)) {
      side_command();
      shell = ui::open_form_shell();
      if (shell == nullptr) return;
    }
    const std::size_t roll = random_->below(100);
    if (roll < 10) {
      const std::size_t button = random_->below(std::size(kEntryTypes));
      note_more(" [type " + std::string(kEntryTypes[button]) + "]");
      choose_option(shell, 0, static_cast<int>(button));
      edits.slots[kEntryTypeSlot] = std::string(kEntryTypes[button]);
      continue;
    }
    if (roll < 16) {
      const std::size_t button = random_->below(std::size(kReprints));
      note_more(" [reprint " + std::string(kReprints[button]) + "]");
      choose_option(shell, 1, static_cast<int>(button));
      edits.slots[kReprint] = std::string(kReprints[button]);
      continue;
    }
    std::vector<std::string> labels;
    for (const char* label : {"Ref. ID:", "Key:", "Crossref:"}) labels.emplace_back(label);
    for (const std::string& label : form_labels(shell)) labels.push_back(label);
    // (The key and the other fields, which the form checks at Ok, have
    // tests of their own.)
    const std::string label = labels[random_->below(labels.size())];
    const int slot = slot_of_label(label);
    std::string text;
    if (slot == kRefIdSlot) {
      // A listed identifier, another number, or nothing.
      const std::size_t pick = random_->below(3);
      if (pick == 0 && !model_.references.empty()) {
        text = std::to_string(model_.references[random_->below(model_.references.size())].id);
      } else if (pick == 1) {
        text = std::to_string(random_->below(20));
      }
    } else {
      text = mode == ui::kSearchMode ? search_text(slot) : random_text(multi_line(slot));
    }
    note_more(" [" + label + " " + in_quotes(text) + "]");
    type_into_field(form_field(shell, label), text);
    if (slot > kRefIdSlot) {
      edits.slots[static_cast<std::size_t>(slot)] = text;
    } else if (slot == kRefIdSlot) {
      edits.slots[kRefIdSlot] = text;  // read only by a search
    }
  }
}

void RandomCommands::side_command() {
  note_more(" [another command]");
  side_command_ = true;
  clear_messages();
  expected_messages_.clear();
  expected_load_.reset();
  expected_hints_.clear();
  message_dialog_checked_ = false;
  bring_to_front(shell_);
  const std::size_t roll = random_->below(100);
  if (!model_.data_commands) {
    if (roll < 60) {
      load_command();
    } else {
      raise_form_command();
    }
  } else if (roll < 25) {
    load_command();
  } else if (roll < 45) {
    delete_command();
  } else if (roll < 55) {
    search_all_command();
  } else if (roll < 62) {
    note("View all references");
    simple_command("Search", "View all references");
    model_.viewed_all();
  } else if (roll < 70) {
    note("Reduce to listed references");
    simple_command("Edit", "Reduce to listed references");
    model_.reduced();
  } else if (roll < 74) {
    note("New");
    simple_command("File", "New");
    model_.emptied();
  } else if (roll < 80) {
    note("Case sensitive");
    simple_command("Search", "Case sensitive");
    model_.toggled_case();
  } else if (roll < 86) {
    save_command(false);
  } else {
    raise_form_command();
  }
  close_message_dialog();
  const std::string found = differences(true);
  if (!found.empty()) problems_ = "after a command run while the form was open:\n" + found;
  clear_messages();
  expected_messages_.clear();
  expected_load_.reset();
  expected_hints_.clear();
  message_dialog_checked_ = false;
  side_command_ = false;
  Widget form_shell = ui::open_form_shell();
  if (form_shell == nullptr) {
    problem("the form closed while another command ran");
    return;
  }
  bring_to_front(form_shell);
}

// A command that needs the form, chosen while it is open, brings the open
// form back instead of opening a second one.
void RandomCommands::raise_form_command() {
  static const std::pair<const char*, const char*> kFormCommands[] = {
      {"Edit", "Add reference"}, {"Edit", "Edit reference"}, {"Search", "AND"}, {"Search", "OR"}, {"Search", "NOT"}};
  const std::size_t count = model_.data_commands ? std::size(kFormCommands) : 1;
  const auto& [cascade, entry] = kFormCommands[random_->below(count)];
  note(std::string(entry) + ": brings the open form back");
  Widget form_shell = ui::open_form_shell();
  choose(cascade, entry);
  pump(150);
  if (ui::open_form_shell() != form_shell) problem(std::string(entry) + " replaced the open form");
  std::size_t forms = 0;
  for (Cardinal i = 0; i < shell_->core.num_popups; ++i) {
    Widget popup = shell_->core.popup_list[i];
    if (!popup->core.being_destroyed && std::string_view(XtName(popup)) == "ReferenceForm") ++forms;
  }
  if (forms != 1) problem(std::to_string(forms) + " forms exist");
  if (!pump_until([&] { return is_shown(form_shell); }, 3000)) problem("the form is not shown");
}

void RandomCommands::answer_form(bool ok) {
  note_more(ok ? " Ok" : " Cancel");
  Widget shell = ui::open_form_shell();
  if (shell == nullptr) {
    problem("no form to answer");
    return;
  }
  click(find_in(shell, ok ? "form.rowcol.ok" : "form.rowcol.cancel"));
  if (ui::form_is_open()) problem("the form stayed open after " + std::string(ok ? "Ok" : "Cancel"));
}

void RandomCommands::add_command() {
  note_form_command("Add reference");
  const RefId proposed = model_.proposed_id();
  const bool ok = random_->chance(85);
  FormEdits edits;
  in_form([this] { choose("Edit", "Add reference"); },
          [&](Widget shell) {
            if (title_of(shell) != "Add new reference") problem("form title " + in_quotes(title_of(shell)));
            const std::string id = text_of(form_field(shell, "Ref. ID:"));
            if (id != std::to_string(proposed))
              problem("Add proposes Ref. ID " + id + ", expected " + std::to_string(proposed));
            check_form_shows(shell, nullptr);
            fill_form(edits, ui::kAddMode, 1 + random_->below(4));
            answer_form(ok);
          });
  if (ok) expected_messages_ += model_.added(edits, proposed);
}

void RandomCommands::edit_command() {
  if (model_.listed.empty()) {
    note("Edit reference, no line listed");
    choose("Edit", "Edit reference");
    pump(150);
    if (ui::form_is_open()) problem("Edit reference opened the form without a selected line");
    return;
  }
  const std::size_t position = 1 + random_->below(model_.listed.size());
  note_form_command("Edit reference on line " + std::to_string(position));
  select_line(static_cast<int>(position));
  const ModelReference reference = model_.references[model_.listed[position - 1]];
  model_.started_edit(position);
  const bool ok = random_->chance(80);
  FormEdits edits;
  in_form([this] { choose("Edit", "Edit reference"); },
          [&](Widget shell) {
            if (title_of(shell) != "Edit reference") problem("form title " + in_quotes(title_of(shell)));
            const std::string id = text_of(form_field(shell, "Ref. ID:"));
            if (id != std::to_string(reference.id)) problem("Edit shows Ref. ID " + id);
            check_form_shows(shell, &reference);
            fill_form(edits, ui::kEditMode, 1 + random_->below(4));
            answer_form(ok);
          });
  if (ok) {
    expected_messages_ += model_.edited(edits);
  } else {
    model_.edit_target.reset();
  }
}

void RandomCommands::delete_command() {
  if (model_.listed.empty()) {
    note("Delete reference, no line listed");
    choose("Edit", "Delete reference");
    pump();
    return;
  }
  const std::size_t position = 1 + random_->below(model_.listed.size());
  note("Delete reference on line " + std::to_string(position));
  select_line(static_cast<int>(position));
  choose("Edit", "Delete reference");
  pump();
  model_.deleted(position);
}

// --- Search ---------------------------------------------------------------

std::vector<Widget> RandomCommands::search_dialogs() const {
  std::vector<Widget> found;
  for (Cardinal i = 0; i < ui::reflist->core.num_popups; ++i) {
    Widget popup = ui::reflist->core.popup_list[i];
    Widget mbox = XtNameToWidget(popup, "mbox");
    if (mbox != nullptr && !popup->core.being_destroyed && XtIsManaged(mbox)) found.push_back(mbox);
  }
  return found;
}

Widget RandomCommands::open_search_dialog() {
  choose("Search", "Search in all fields");
  Widget mbox = nullptr;
  pump_until([&] {
    const auto dialogs = search_dialogs();
    mbox = dialogs.empty() ? nullptr : dialogs.back();
    return mbox != nullptr && is_shown(mbox);
  });
  if (mbox == nullptr) problem("Search in all fields showed no dialog");
  return mbox;
}

void RandomCommands::search_all_command() {
  static const char* const kToggles[] = {"and", "or ", "not"};
  const std::size_t mode_index = random_->below(3);
  const std::string text = search_text(-1);
  const bool ok = random_->chance(92);
  note(std::string("Search in all fields: ") + kToggles[mode_index] + " " + in_quotes(text) + (ok ? " OK" : " Cancel"));
  Widget mbox = open_search_dialog();
  if (mbox == nullptr) return;
  if (mode_index != 0) click(find_in(mbox, std::string("rowcol.") + kToggles[mode_index]));
  type_into_field(find_in(mbox, "rowcol.text"), text);
  click(XmMessageBoxGetChild(mbox, ok ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON));
  if (ok) model_.searched_all_fields(static_cast<SearchMode>(mode_index + 1), text, !model_.case_sensitive);
}

void RandomCommands::form_search_command() {
  static const char* const kEntries[] = {"AND", "OR", "NOT"};
  const std::size_t mode_index = random_->below(3);
  note_form_command(std::string(kEntries[mode_index]) + " through the form");
  const bool ok = random_->chance(90);
  FormEdits edits;
  in_form([&] { choose("Search", kEntries[mode_index]); },
          [&](Widget shell) {
            if (title_of(shell) != "Search references") problem("form title " + in_quotes(title_of(shell)));
            const std::string id = text_of(form_field(shell, "Ref. ID:"));
            if (id != "0") problem("the search form shows Ref. ID " + in_quotes(id));
            check_form_shows(shell, nullptr);
            fill_form(edits, ui::kSearchMode, random_->below(4));
            answer_form(ok);
          });
  if (!ok) return;
  SearchCriteria criteria;
  for (std::size_t slot = 1; slot < kSlotCount; ++slot) criteria.slots[slot] = edits.slots[slot].value_or("");
  // The identifier as strtoul reads it: digits only are typed.
  criteria.id = std::strtoull(edits.slots[kRefIdSlot].value_or("0").c_str(), nullptr, 10);
  model_.searched_by_form(static_cast<SearchMode>(mode_index + 1), criteria);
}

// --- Save ---------------------------------------------------------------

Widget RandomCommands::open_save_dialog() {
  choose("File", "Save");
  if (!pump_until([this] { return ui::save_dialog != nullptr && is_shown(ui::save_dialog); })) {
    problem("File > Save showed no dialog");
    return nullptr;
  }
  return ui::save_dialog;
}

void RandomCommands::save_command(bool check) {
  std::string name;
  if (check) {
    name = "check" + std::to_string(++check_saves_) + ".bib";
  } else if (random_->chance(8)) {
    name = kUnwritablePath;
  } else {
    name = kSaveNames[random_->below(std::size(kSaveNames))];
  }
  struct stat status;
  const bool exists = stat(name.c_str(), &status) == 0;
  const bool yes = random_->chance(70);
  note((check ? "Save (read back) " : "Save ") + name +
       (exists ? (yes ? ", Yes to the question" : ", No to the question") : ""));

  Widget dialog = open_save_dialog();
  if (dialog == nullptr) return;
  type_into_field(XmFileSelectionBoxGetChild(dialog, XmDIALOG_TEXT), name);
  click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  if (name == kUnwritablePath) {
    expected_messages_ = "Cannot open file: " + name + "\n";
    close_message_dialog();
    if (!is_shown(dialog)) problem("the Save dialog closed after a file that cannot be written");
    click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));
    return;
  }
  if (exists) {
    Widget question = nullptr;
    if (!pump_until([&] {
          question = XtNameToWidget(shell_, "*fexist");
          return question != nullptr && is_shown(question);
        })) {
      problem("no question before " + name + " was replaced");
      return;
    }
    click(XmMessageBoxGetChild(question, yes ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON));
    if (!yes) {
      if (!is_shown(dialog)) problem("the Save dialog closed after No");
      click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));
      return;
    }
  }
  if (!pump_until([&] { return !is_shown(dialog); }, 2000)) problem("the Save dialog stayed open");
  // What the save says: keys held twice, braces it had to balance.
  std::ostringstream save_messages;
  bibtex_text(model_database(), save_messages);
  expected_messages_ = save_messages.str();
  model_.saved(name);
  if (std::find(saved_files_.begin(), saved_files_.end(), name) == saved_files_.end()) saved_files_.push_back(name);
  read_back_saved(name);
}

// The model as a database, for what the program computes from a whole
// database alone (the keys a save writes, what it says).
ReferenceDatabase RandomCommands::model_database() const {
  ReferenceDatabase db;
  for (const ModelReference& reference : model_.references) db.append_reference(real_reference(reference));
  for (const BibtexBlock& block : model_.blocks) db.add_block(block);
  return db;
}

// Save then Load gives back the database: the file read with "BibTeX (any
// style)" into an empty database without the window, compared with the
// model field by field. A reference is written under its key, or its
// RefId when it has none.
void RandomCommands::read_back_saved(const std::string& path) {
  // A reference of type string, preamble or comment (the "BibTeX" format
  // makes one of a today's-style @string line) is written under that type,
  // which BibTeX reads as a command of its own: such a file does not read
  // back as the database, in BibTeX either.
  for (const ModelReference& held : model_.references) {
    const auto& type = held.slots[kEntryTypeSlot];
    if (!type) continue;
    const std::string lowered = lower_case(*type);
    if (lowered == "string" || lowered == "preamble" || lowered == "comment") return;
  }
  ReferenceDatabase read;
  std::ostringstream read_messages;
  if (load_file(read, path, FileType::kBibtexAny, read_messages) != ReadResult::kDone) {
    problem("reading " + path + " back: " + in_quotes(read_messages.str()));
  }
  // Macros only the styles define are named on every load.
  std::istringstream message_lines(read_messages.str());
  for (std::string line; std::getline(message_lines, line);) {
    if (!line.starts_with("unknown macro in line ")) problem("reading " + path + " back: " + in_quotes(line));
  }
  const std::vector<ModelReference> back = model_references(read);
  if (back.size() != model_.references.size()) {
    problem(path + " reads back " + std::to_string(back.size()) + " references, the database holds " +
            std::to_string(model_.references.size()));
    return;
  }
  const ReferenceDatabase held_db = model_database();
  const WrittenKeys keys(held_db);
  for (std::size_t i = 0; i < back.size(); ++i) {
    const ModelReference& held = model_.references[i];
    const std::string key = keys.key(i);
    if (key == std::to_string(held.id)) {
      if (back[i].id != held.id || !back[i].extras.citation_key.empty())
        problem(path + ": reference " + std::to_string(i) + " reads back as " + std::to_string(back[i].id) + " " +
                in_quotes(back[i].extras.citation_key) + ", held " + std::to_string(held.id));
    } else if (back[i].extras.citation_key != key) {
      problem(path + ": reference " + std::to_string(i) + " reads back with the key " +
              in_quotes(back[i].extras.citation_key) + ", written as " + in_quotes(key));
    }
    for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
      std::optional<std::string> expected;
      const auto& text = held.slots[slot];
      if (slot == kEntryTypeSlot) {
        expected = lower_case(text && !text->empty() ? *text : "misc");
      } else if (text && !text->empty()) {
        expected = value_after_save(*text);
      }
      if (back[i].slots[slot] != expected) {
        problem(path + ": reference " + std::to_string(i) + " slot " + std::to_string(slot) + " reads back as " +
                (back[i].slots[slot] ? in_quotes(*back[i].slots[slot]) : "absent") + ", expected " +
                (expected ? in_quotes(*expected) : "absent"));
      }
    }
    const auto& fields = held.extras.other_fields;
    const auto& fields_back = back[i].extras.other_fields;
    bool same = fields.size() == fields_back.size();
    for (std::size_t f = 0; same && f < fields.size(); ++f) {
      same = fields[f].name == fields_back[f].name && value_after_save(fields[f].text) == fields_back[f].text;
    }
    if (!same) problem(path + ": reference " + std::to_string(i) + " reads back with other fields changed");
  }
}

// --- Messages on screen ----------------------------------------------------

// A command that wrote messages shows them in the message dialog: exactly
// one, with a heading that counts them (and, after a load, the references
// read and from where) and the messages one per line; a click on OK closes
// it. A command that wrote nothing shows none.
void RandomCommands::close_message_dialog() {
  if (message_dialog_checked_) return;
  std::vector<Widget> shown;
  for (Cardinal i = 0; i < shell_->core.num_popups; ++i) {
    Widget popup = shell_->core.popup_list[i];
    if (popup->core.being_destroyed) continue;
    Widget dialog = XtNameToWidget(popup, "messageDialog");
    if (dialog != nullptr && XtIsManaged(dialog)) shown.push_back(dialog);
  }
  if (shown.size() > 1) problem(std::to_string(shown.size()) + " message dialogs are shown");
  if (expected_messages_.empty() && expected_hints_.empty()) {
    if (!shown.empty()) problem("a message dialog although the command wrote no message");
  } else {
    message_dialog_checked_ = true;
    if (shown.empty()) problem("no message dialog for " + in_quotes(expected_hints_ + expected_messages_));
  }
  for (Widget dialog : shown) {
    if (!pump_until([&] { return is_shown(dialog); }, 3000)) problem("a message dialog is managed but never shown");
    if (!expected_messages_.empty() || !expected_hints_.empty()) {
      const auto count =
          static_cast<std::size_t>(std::count(expected_messages_.begin(), expected_messages_.end(), '\n') +
                                   (!expected_messages_.empty() && expected_messages_.back() != '\n' ? 1 : 0));
      // The hints come first and are no messages.
      std::string lines = expected_hints_ + expected_messages_;
      if (lines.back() == '\n') lines.pop_back();
      std::string heading;
      if (count == 0) {
        heading = *expected_load_ + ".";
      } else {
        heading = expected_load_ ? *expected_load_ + "; " : "";
        heading += std::to_string(count) + (count == 1 ? " message:" : " messages:");
      }
      if (utf8_) lines = utf8_for_display(lines);
      XmString shown_heading = nullptr;
      XtVaGetValues(dialog, XmNmessageString, &shown_heading, nullptr);
      const std::string heading_text = item_text(shown_heading);
      XmStringFree(shown_heading);
      if (heading_text != heading) {
        problem("the message dialog's heading is " + in_quotes(heading_text) + ", expected " + in_quotes(heading));
      }
      const std::string text = text_of(XtNameToWidget(dialog, "*messageText"));
      if (text != lines) problem("the message dialog shows " + in_quotes(text) + ", expected " + in_quotes(lines));
    }
    click(XmMessageBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
    if (!pump_until([&] { return !XtIsManaged(dialog) || !is_shown(dialog); }, 2000)) {
      problem("OK did not close the message dialog");
    }
  }
}

// --- Input ------------------------------------------------------------------

void RandomCommands::type_text(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7f) {
      key(byte);
      ++i;
      continue;
    }
    if (byte == '\n') {
      key(XK_Return);  // a line break in a multi-line field
      ++i;
      continue;
    }
    bool typed = false;
    for (const WideCharacter& character : kWideCharacters) {
      if (text.substr(i).starts_with(character.utf8)) {
        key(character.keysym);
        i += character.utf8.size();
        typed = true;
        break;
      }
    }
    if (!typed) {
      problem("cannot type " + in_quotes(text));
      return;
    }
  }
  pump(30);
}

// The middle of the part of a widget that can be clicked, relative to the
// widget: a field wider than the view of a scrolled form shows in part.
// Nothing when too little of it shows.
std::optional<std::pair<int, int>> RandomCommands::visible_point(Widget widget) {
  const auto root_rectangle = [this](Widget of, int& left, int& top, int& right, int& bottom) {
    Window child;
    XTranslateCoordinates(display(), XtWindow(of), DefaultRootWindow(display()), 0, 0, &left, &top, &child);
    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(of, XtNwidth, &width, XtNheight, &height, nullptr);
    right = left + width;
    bottom = top + height;
  };
  int x = 0;
  int y = 0;
  int right = 0;
  int bottom = 0;
  root_rectangle(widget, x, y, right, bottom);
  int left = std::max(x, 0);
  int top = std::max(y, 0);
  right = std::min(right, DisplayWidth(display(), DefaultScreen(display())));
  bottom = std::min(bottom, DisplayHeight(display(), DefaultScreen(display())));
  for (Widget parent = XtParent(widget); parent != nullptr; parent = XtParent(parent)) {
    int parent_left = 0;
    int parent_top = 0;
    int parent_right = 0;
    int parent_bottom = 0;
    root_rectangle(parent, parent_left, parent_top, parent_right, parent_bottom);
    left = std::max(left, parent_left);
    top = std::max(top, parent_top);
    right = std::min(right, parent_right);
    bottom = std::min(bottom, parent_bottom);
    if (XtIsShell(parent)) break;
  }
  if (right - left < 8 || bottom - top < 8) return std::nullopt;
  return std::pair((left + right) / 2 - x, (top + bottom) / 2 - y);
}

void RandomCommands::type_into_field(Widget field, std::string_view text) {
  if (field == nullptr) return;
  Widget shell = field;
  while (!XtIsShell(shell)) shell = XtParent(shell);
  // The keyboard goes to the field once the window manager has given its
  // window the focus (a window just mapped or raised may get it only after
  // the click) and the toolkit has given the field the focus within it.
  const auto focused = [&] { return has_focus(shell) && XmGetFocusWidget(shell) == field; };
  for (int tries = 0; tries < 5 && !focused(); ++tries) {
    scroll_into_view(field);
    const auto point = visible_point(field);
    if (!point) {
      problem("a field lies off the screen");
      return;
    }
    click_at(field, point->first, point->second);
    pump_until(focused, 500);
  }
  if (!focused()) {
    problem("clicks on a field did not give it the keyboard focus");
    return;
  }
  key(XK_slash, ControlMask);  // select all: what is typed replaces it
  if (text.empty()) {
    key(XK_BackSpace);
  } else {
    type_text(text);
  }
  // Input that went astray is the test's fault, not the program's: say so.
  if (field->core.being_destroyed) {
    problem("the field typed into went away");
    return;
  }
  const std::string shown = text_of(field);
  if (shown != text) problem("typing " + in_quotes(text) + " into a field left " + in_quotes(shown) + " in it");
}

bool RandomCommands::typeable(std::string_view character) const {
  if (character.size() == 1) return character[0] >= 0x20 && character[0] < 0x7f;
  if (!utf8_) return false;
  for (const WideCharacter& wide : kWideCharacters) {
    if (wide.utf8 == character) return true;
  }
  return false;
}

std::string RandomCommands::random_text(bool line_breaks) {
  static const std::string_view kPunctuation = " {}\"',.-:;\\&%#_~^()";
  if (random_->chance(8)) return "";
  const std::size_t length = 1 + random_->below(12);
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t roll = random_->below(100);
    if (line_breaks && roll < 4) {
      text += '\n';
    } else if (roll < 50) {
      const char letter = static_cast<char>('a' + random_->below(26));
      text += random_->chance(30) ? static_cast<char>(letter - 'a' + 'A') : letter;
    } else if (roll < 60) {
      text += static_cast<char>('0' + random_->below(10));
    } else if (roll < 70) {
      text += ' ';
    } else if (roll < 80) {
      // What BibTeX values are delimited and escaped with.
      text += "{}\"\\"[random_->below(4)];
    } else if (roll < 90 || !utf8_) {
      text += kPunctuation[random_->below(kPunctuation.size())];
    } else {
      text += kWideCharacters[random_->below(std::size(kWideCharacters))].utf8;
    }
  }
  return text;
}

// Mostly a piece of a text the database holds (in `slot`, or in any slot
// for -1), its letters' case changed now and then; otherwise a short random
// text, or nothing.
std::string RandomCommands::search_text(int slot) {
  const std::size_t roll = random_->below(100);
  if (roll < 8) return "";
  if (roll < 72 && !model_.references.empty()) {
    for (int attempt = 0; attempt < 6; ++attempt) {
      const ModelReference& reference = model_.references[random_->below(model_.references.size())];
      const int from = slot >= 0 ? slot : static_cast<int>(1 + random_->below(kSlotCount - 1));
      const auto& value = reference.slots[static_cast<std::size_t>(from)];
      if (!value || value->empty()) continue;
      const std::vector<std::string> characters = characters_of(*value);
      const std::size_t start = random_->below(characters.size());
      const std::size_t length = 1 + random_->below(std::min<std::size_t>(6, characters.size() - start));
      std::string piece;
      bool ok = true;
      for (std::size_t k = start; k < start + length; ++k) {
        ok = ok && typeable(characters[k]);
        piece += characters[k];
      }
      if (!ok) continue;
      if (random_->chance(30)) {
        for (char& c : piece) {
          if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
          else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        }
      }
      return piece;
    }
  }
  std::string text = random_text();
  return text.substr(0, utf8_prefix_bytes(text, 1 + random_->below(3)));
}

// --- Checks -----------------------------------------------------------------

std::string RandomCommands::line_of(const ModelReference& reference) const {
  const Reference real = real_reference(reference);
  return utf8_ ? shown_list_line(real) : list_line(real);
}

std::string RandomCommands::differences(bool form_open) {
  std::ostringstream out;
  out << problems_;

  std::vector<std::string> expected_lines;
  for (std::size_t index : model_.listed) expected_lines.push_back(line_of(model_.references[index]));
  const std::vector<std::string> lines = list_lines();
  if (lines != expected_lines) {
    out << "the list shows\n" << lines_text(lines) << "  expected\n" << lines_text(expected_lines);
  }

  const std::string count = "number of references: " + std::to_string(model_.count_shown);
  if (count_line() != count)
    out << "the count line shows " << in_quotes(count_line()) << ", expected " << in_quotes(count) << "\n";

  if (model_.data_commands != !model_.references.empty()) {
    out << "model: the data commands are " << (model_.data_commands ? "on" : "off") << " with "
        << model_.references.size() << " references\n";
  }
  for (Widget widget : ui::DataCommands) {
    if ((XtIsSensitive(widget) != False) != model_.data_commands) {
      out << XtName(widget) << " is " << (XtIsSensitive(widget) ? "sensitive" : "insensitive") << ", expected "
          << (model_.data_commands ? "sensitive" : "insensitive") << "\n";
    }
  }

  const std::vector<ModelReference> held = model_references(ui::database());
  if (held.size() != model_.references.size()) {
    out << "the database holds " << held.size() << " references, expected " << model_.references.size() << "\n";
  } else {
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (held[i].id != model_.references[i].id) {
        out << "reference " << i << " has RefId " << held[i].id << ", expected " << model_.references[i].id << "\n";
      }
      for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
        const auto& is = held[i].slots[slot];
        const auto& should = model_.references[i].slots[slot];
        if (is != should) {
          out << "reference " << i << " slot " << slot << " holds " << (is ? in_quotes(*is) : "nothing")
              << ", expected " << (should ? in_quotes(*should) : "nothing") << "\n";
        }
      }
    }
  }
  std::vector<RefId> ids;
  for (const ModelReference& reference : held) ids.push_back(reference.id);
  std::sort(ids.begin(), ids.end());
  if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) out << "two references share a RefId\n";

  if (ui::session().listed_references().indices() != model_.listed) out << "the listed references differ\n";
  if (title_of(shell_) != model_.title) {
    out << "the title is " << in_quotes(title_of(shell_)) << ", expected " << in_quotes(model_.title) << "\n";
  }
  if (ui::session().CurrentFileName() != model_.current_file) {
    out << "the current file is " << in_quotes(ui::session().CurrentFileName()) << ", expected "
        << in_quotes(model_.current_file) << "\n";
  }
  Widget case_toggle = ui::DataCommands.back();
  if ((XmToggleButtonGadgetGetState(case_toggle) != False) != model_.case_sensitive ||
      ui::session().case_sensitive() != model_.case_sensitive) {
    out << "Case sensitive is not " << (model_.case_sensitive ? "on" : "off") << "\n";
  }

  if (messages() != expected_messages_) {
    out << "the messages were " << in_quotes(messages()) << ", expected " << in_quotes(expected_messages_) << "\n";
  }
  for (const std::string& problem_text : toolkit_problems()) out << problem_text << "\n";

  // Every command ends with its windows closed.
  if (ui::form_is_open() != form_open) out << (form_open ? "the form closed\n" : "the form is still open\n");
  for (Widget dialog : {ui::load_dialog, ui::save_dialog, ui::latex_dialog}) {
    if (dialog != nullptr && XtIsManaged(dialog)) out << "a file dialog is still open\n";
  }
  if (!search_dialogs().empty()) out << "a search dialog is still open\n";
  if (XtNameToWidget(shell_, "*fexist") != nullptr) out << "the overwrite question is still there\n";
  return out.str();
}

void RandomCommands::report(std::uint64_t seed, int command, int commands, const std::string& found) {
  std::ostringstream out;
  out << "random commands failed: seed " << seed << ", command " << command << " of " << commands << ", locale "
      << locale_name() << "\n"
      << found << "command log (commands run while the form was open have entries of their own):\n";
  for (std::size_t i = 0; i < log_.size(); ++i) out << "  " << i + 1 << " " << log_[i] << "\n";
  char program[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length <= 0) program[0] = '\0';
  out << "replay: sh scripts/with-display.sh env REFLOOM_SEED=" << seed << " REFLOOM_COMMANDS=" << commands << " "
      << program << " --gtest_filter=RandomCommands.FixedSeed\n";
  ADD_FAILURE() << out.str();
}

constexpr std::uint64_t kFixedSeed = 20261209;
constexpr int kShortRun = 75;
// A machine too busy for the whole short run within the test's time
// limit ends it early, with its final checks.
constexpr auto kShortRunLimit = std::chrono::seconds(85);

std::uint64_t clock_seed() {
  return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
         (static_cast<std::uint64_t>(getpid()) << 32);
}

// A replay (REFLOOM_SEED set) runs to its end, however long it takes.
Clock::time_point short_run_deadline() {
  if (number_from_environment("REFLOOM_SEED")) return Clock::time_point::max();
  return Clock::now() + kShortRunLimit;
}

TEST_F(RandomCommands, FixedSeed) {
  const std::uint64_t seed = number_from_environment("REFLOOM_SEED").value_or(kFixedSeed);
  const int ran = run_sequence(seed, commands_per_sequence(kShortRun), short_run_deadline());
  std::cout << ran << " commands without a failure" << std::endl;
}

TEST_F(RandomCommands, SeedFromTheClock) {
  const std::uint64_t seed = number_from_environment("REFLOOM_SEED").value_or(clock_seed());
  const int ran = run_sequence(seed, commands_per_sequence(kShortRun), short_run_deadline());
  std::cout << ran << " commands without a failure" << std::endl;
}

// make soak: new sequences, each in a fresh main window, until the time is
// up; prints how many commands and sequences ran without a failure.
TEST_F(RandomCommands, Soak) {
  const char* minutes_text = std::getenv("REFLOOM_SOAK_MINUTES");
  if (minutes_text == nullptr) GTEST_SKIP() << "REFLOOM_SOAK_MINUTES is not set";
  const double minutes = std::strtod(minutes_text, nullptr);
  const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long long>(minutes * 60000));
  const int commands = commands_per_sequence(200);
  long total = 0;
  long sequences = 0;
  std::mt19937_64 seeds(clock_seed());
  while (Clock::now() < deadline) {
    if (sequences > 0) fresh_window();
    const int ran = run_sequence(seeds(), commands, deadline);
    if (HasFailure()) {
      std::cout << "soak: failed after " << total + ran << " commands in " << sequences << " complete sequences ("
                << locale_name() << ")" << std::endl;
      return;
    }
    total += ran;
    ++sequences;
  }
  std::cout << "soak: " << total << " commands in " << sequences << " sequences without a failure (" << locale_name()
            << ", " << minutes << " minutes)" << std::endl;
}

}  // namespace
}  // namespace refloom::testing

#include "gui_test.h"

#include <X11/keysym.h>
#include <Xm/FileSB.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <fstream>
#include <sstream>

#include "core/bibtex_writer.h"
#include "session/recovery.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/message_dialog.h"
#include "ui/recovery.h"
#include "ui/xm_util.h"

namespace refloom::testing {
namespace {

const char* const kTwoEntries =
    "@article{12,\n"
    "  author = {Doe, Jane},\n"
    "  title = {A first title},\n"
    "  journal = {Nature},\n"
    "  year = {1995}\n"
    "}\n"
    "@book{7,\n"
    "  title = {Second},\n"
    "  year = {2001}\n"
    "}\n";

class FileCommands : public GuiTest {
 protected:
  std::string sample(std::string_view name = "refs.bib", std::string_view content = kTwoEntries) {
    const std::string path = dir_.file(name);
    write_file(path, content);
    return path;
  }

  void save(Widget dialog, const std::string& path) {
    type_into(XmFileSelectionBoxGetChild(dialog, XmDIALOG_TEXT), path);
    click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
    pump();
  }

  Widget open_save_dialog() {
    choose("File", "Save");
    EXPECT_TRUE(pump_until([this] { return ui::save_dialog != nullptr && is_shown(ui::save_dialog); }));
    return ui::save_dialog;
  }

  Widget overwrite_question() {
    Widget question = nullptr;
    pump_until([&] {
      question = XtNameToWidget(shell_, "*fexist");
      return question != nullptr && is_shown(question);
    });
    return question;
  }

  void click_format(Widget filetype, int position) {
    XmListSetBottomPos(filetype, position);
    pump();
    Position x = 0;
    Position y = 0;
    Dimension width = 0;
    Dimension height = 0;
    ASSERT_TRUE(XmListPosToBounds(filetype, position, &x, &y, &width, &height));
    click_at(filetype, x + width / 2, y + height / 2);
  }

  std::string count_line() { return label_of(find("main_w.message")); }
  Widget reflist() { return find("main_w.reflist"); }
  bool data_commands_on() {
    for (Widget widget : ui::DataCommands) {
      if (!XtIsSensitive(widget)) return false;
    }
    return true;
  }
  bool data_commands_off() {
    for (Widget widget : ui::DataCommands) {
      if (XtIsSensitive(widget)) return false;
    }
    return true;
  }
};

TEST_F(FileCommands, LoadDialogStartsWithBibtexAndRemembersTheFormat) {
  Widget dialog = open_load_dialog();
  EXPECT_EQ(title_of(XtParent(dialog)), "Load BibTeX");
  Widget filetype = find_in(dialog, "*filetype");
  EXPECT_EQ(list_items(filetype),
            (std::vector<std::string>{"BibTeX", "Medline Ovid", "Medline Spirs", "Medline PubMed", "Inspec",
                                      "BibTeX (any style)", "PubMed / MEDLINE (.nbib)", "RIS"}));
  // All eight in view at once.
  int visible = 0;
  int top = 0;
  XtVaGetValues(filetype, XmNvisibleItemCount, &visible, XmNtopItemPosition, &top, nullptr);
  EXPECT_EQ(visible, 8);
  EXPECT_EQ(top, 1);
  for (int position = 1; position <= 8; ++position) {
    Position x = 0;
    Position y = 0;
    Dimension width = 0;
    Dimension height = 0;
    EXPECT_TRUE(XmListPosToBounds(filetype, position, &x, &y, &width, &height)) << "format " << position;
  }
  int* positions = nullptr;
  int selected = 0;
  ASSERT_TRUE(XmListGetSelectedPos(filetype, &positions, &selected));
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(positions[0], 1);
  XtFree(reinterpret_cast<char*>(positions));

  click_format(filetype, 5);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load Inspec");
  XtPointer user_data = nullptr;
  XtVaGetValues(dialog, XmNuserData, &user_data, nullptr);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(user_data), 5);

  click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));
  EXPECT_FALSE(is_shown(dialog));
  Widget again = open_load_dialog();
  EXPECT_EQ(again, dialog);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load Inspec");
}

// A click on the chosen format keeps it chosen: the list never shows none.
TEST_F(FileCommands, ClickOnTheChosenFormatKeepsItChosen) {
  Widget dialog = open_load_dialog();
  Widget filetype = find_in(dialog, "*filetype");
  const auto chosen = [&] {
    int* positions = nullptr;
    int selected = 0;
    std::vector<int> result;
    if (XmListGetSelectedPos(filetype, &positions, &selected)) {
      result.assign(positions, positions + selected);
      XtFree(reinterpret_cast<char*>(positions));
    }
    return result;
  };
  const auto file_type = [&] {
    XtPointer user_data = nullptr;
    XtVaGetValues(dialog, XmNuserData, &user_data, nullptr);
    return reinterpret_cast<std::intptr_t>(user_data);
  };
  click_format(filetype, 1);
  pump();
  EXPECT_EQ(chosen(), std::vector<int>{1});
  EXPECT_EQ(file_type(), 1);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load BibTeX");

  click_format(filetype, 8);
  click_format(filetype, 8);
  pump();
  EXPECT_EQ(chosen(), std::vector<int>{8});
  EXPECT_EQ(file_type(), 8);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load RIS");
}

// Today's exports: the format picked in the list decides the reader.
TEST_F(FileCommands, NbibAndRisLoadFromTheDialog) {
  const std::string nbib = sample("export.nbib",
                                  "PMID- 1\nTI  - A PubMed title\nFAU - Doe, Jane\nAU  - Doe J\nDP  - 2020 Jan\n"
                                  "TA  - Nature\n");
  const std::string ris =
      sample("export.ris", "TY  - BOOK\r\nAU  - John Smith\r\nTI  - A RIS book\r\nPY  - 2001\r\nER  - \r\n");
  Widget dialog = open_load_dialog();
  Widget filetype = find_in(dialog, "*filetype");
  click_format(filetype, 7);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load PubMed / MEDLINE (.nbib)");
  load(nbib);
  EXPECT_EQ(list_items(reflist()), (std::vector<std::string>{"1 Doe, Jane A PubMed title Nature 2020"}));

  dialog = open_load_dialog();
  click_format(filetype, 8);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load RIS");
  load(ris);
  // Loaded into a database that held a reference: renumbered.
  EXPECT_EQ(list_items(reflist()),
            (std::vector<std::string>{"1 Doe, Jane A PubMed title Nature 2020", "2 Smith, John A RIS book  2001"}));
  EXPECT_EQ(ui::database().reference(1).text(kEntryTypeSlot), "book");
  EXPECT_EQ(messages(), "");
}

TEST_F(FileCommands, LoadListsEveryReferenceAndSwitchesTheDataCommandsOn) {
  const std::string path = sample();
  load(path);
  EXPECT_FALSE(is_shown(ui::load_dialog));
  EXPECT_EQ(list_items(reflist()),
            (std::vector<std::string>{"12 Doe, Jane A first title Nature 1995", "7  Second  2001"}));
  EXPECT_EQ(count_line(), "number of references: 2");
  EXPECT_EQ(title_of(shell_), path);
  EXPECT_EQ(ui::session().CurrentFileName(), path);
  EXPECT_TRUE(data_commands_on());
  EXPECT_EQ(messages(), "");
}

TEST_F(FileCommands, BibtexInAnyStyleLoadsFromTheSixthFormat) {
  const std::string path = sample("any.bib",
                                  "@String{nat = \"Nature\"}\r\n"
                                  "@Article{doe1995,\r\n\tAuthor = {Doe, Jane},\r\n\tTitle = \"A first title\",\r\n"
                                  "\tJournal = nat,\r\n\tYear = 1995,\r\n\tDOI = {10.1/x}\r\n}\r\n"
                                  "@book(7, title = {Second}, year = 2001)\r\n");
  Widget dialog = open_load_dialog();
  click_format(find_in(dialog, "*filetype"), 6);
  EXPECT_EQ(title_of(XtParent(dialog)), "Load BibTeX (any style)");
  load(path);
  EXPECT_FALSE(is_shown(ui::load_dialog));
  EXPECT_EQ(list_items(reflist()),
            (std::vector<std::string>{"8 Doe, Jane A first title Nature 1995", "7  Second  2001"}));
  EXPECT_EQ(count_line(), "number of references: 2");
  EXPECT_EQ(ui::database().reference(0).citation_key(), "doe1995");
  EXPECT_EQ(messages(), "");
  EXPECT_TRUE(data_commands_on());
}

TEST_F(FileCommands, LoadingTheSameFileTwiceRenumbersTheSecondCopies) {
  const std::string path = sample();
  load(path);
  load(path);
  EXPECT_EQ(list_items(reflist()),
            (std::vector<std::string>{"12 Doe, Jane A first title Nature 1995", "7  Second  2001",
                                      "8 Doe, Jane A first title Nature 1995", "9  Second  2001"}));
  EXPECT_EQ(count_line(), "number of references: 4");
}

TEST_F(FileCommands, ReaderMessagesGoToTheMessageStream) {
  const std::string path = sample("bad.bib", "@article{3,\nyear = 1999,\n}\n");
  load(path);
  EXPECT_EQ(messages(), "BibTeX file corrupted in reference 1 ! \nyear must start with either >> { << or >> \" << \n");
  EXPECT_EQ(count_line(), "number of references: 1");
}

TEST_F(FileCommands, LoadWithoutReferencesLeavesTheMenusButShowsThePath) {
  const std::string path = sample("empty.bib", "no entries here\n");
  load(path);
  EXPECT_EQ(count_line(), "number of references: 0");
  EXPECT_TRUE(data_commands_off());
  EXPECT_EQ(title_of(shell_), path);
}

TEST_F(FileCommands, UnopenableFileIsReportedAndTheDialogStaysOpen) {
  const std::string path = dir_.file("missing.bib");
  load(path);
  EXPECT_EQ(messages(), "Cannot open file: " + path + "\n");
  EXPECT_TRUE(is_shown(ui::load_dialog));
  EXPECT_EQ(title_of(shell_), "Refloom Manager, Ver. 1.7");
  EXPECT_EQ(ui::session().CurrentFileName(), "");
}

TEST_F(FileCommands, EmptySelectionIsReported) {
  Widget dialog = open_load_dialog();
  type_into(XmFileSelectionBoxGetChild(dialog, XmDIALOG_TEXT), "");
  click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  EXPECT_EQ(messages(), "No file selected! \n");
  EXPECT_TRUE(is_shown(dialog));
}

TEST_F(FileCommands, NewEmptiesEverythingButKeepsTheCurrentFile) {
  const std::string path = sample();
  load(path);
  choose("File", "New");
  EXPECT_EQ(list_items(reflist()).size(), 0U);
  EXPECT_EQ(count_line(), "number of references: 0");
  EXPECT_EQ(title_of(shell_), "Refloom Manager, Ver. 1.7");
  EXPECT_TRUE(data_commands_off());
  EXPECT_EQ(ui::database().ref_count(), 0U);
  EXPECT_EQ(ui::session().CurrentFileName(), path);
  // A load after New starts from an empty database again: keys are kept.
  load(path);
  EXPECT_EQ(list_items(reflist()).front(), "12 Doe, Jane A first title Nature 1995");
  EXPECT_EQ(list_items(reflist()).size(), 2U);
}

TEST_F(FileCommands, SaveToANewName) {
  load(sample());
  Widget dialog = open_save_dialog();
  EXPECT_EQ(title_of(XtParent(dialog)), "Save Database");
  const std::string out = dir_.file("saved.bib");
  save(dialog, out);
  EXPECT_FALSE(is_shown(dialog));
  EXPECT_EQ(read_file(out),
            "@article{12,\n"
            "author     = \"Doe, Jane\",\n"
            "journal    = \"Nature\",\n"
            "title      = \"A first title\",\n"
            "year       = \"1995\",\n"
            "}\n\n"
            "@book{7,\n"
            "title      = \"Second\",\n"
            "year       = \"2001\",\n"
            "}\n\n");
  EXPECT_EQ(title_of(shell_), out);
  EXPECT_EQ(ui::session().CurrentFileName(), out);
}

TEST_F(FileCommands, SaveOverAnExistingFileAsksAndNoKeepsIt) {
  load(sample());
  const std::string out = sample("existing.bib", "keep me\n");
  Widget dialog = open_save_dialog();
  save(dialog, out);
  Widget question = overwrite_question();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(title_of(XtParent(question)), "Save Database");
  XmString text = nullptr;
  XtVaGetValues(question, XmNmessageString, &text, nullptr);
  ui::XmStringOwner owner(text);
  char* raw = nullptr;
  // The question breaks into two lines.
  XmStringContext context;
  ASSERT_TRUE(XmStringInitContext(&context, text));
  std::vector<std::string> lines;
  XmStringCharSet charset;
  XmStringDirection direction;
  Boolean separator;
  while (XmStringGetNextSegment(context, &raw, &charset, &direction, &separator)) {
    lines.emplace_back(raw);
    XtFree(raw);
    XtFree(charset);
  }
  XmStringFreeContext(context);
  EXPECT_EQ(lines, (std::vector<std::string>{"File already exists.", "     Overwrite?"}));
  EXPECT_EQ(label_of(XmMessageBoxGetChild(question, XmDIALOG_OK_BUTTON)), " Yes ");
  EXPECT_EQ(label_of(XmMessageBoxGetChild(question, XmDIALOG_CANCEL_BUTTON)), " No ");
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(question, XmDIALOG_HELP_BUTTON)));

  click(XmMessageBoxGetChild(question, XmDIALOG_CANCEL_BUTTON));
  EXPECT_EQ(read_file(out), "keep me\n");
  EXPECT_TRUE(is_shown(dialog));
  EXPECT_EQ(title_of(shell_), dir_.file("refs.bib"));
}

TEST_F(FileCommands, SaveOverAnExistingFileYesReplacesIt) {
  load(sample());
  const std::string out = sample("existing.bib", "old\n");
  chmod(out.c_str(), 0600);
  Widget dialog = open_save_dialog();
  save(dialog, out);
  Widget question = overwrite_question();
  ASSERT_NE(question, nullptr);
  click(XmMessageBoxGetChild(question, XmDIALOG_OK_BUTTON));
  pump();
  EXPECT_TRUE(read_file(out).starts_with("@article{12,\n"));
  EXPECT_FALSE(is_shown(dialog));
  EXPECT_EQ(title_of(shell_), out);
  struct stat status;
  ASSERT_EQ(stat(out.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600U);
  // The question is made anew for every save and does not linger.
  EXPECT_EQ(XtNameToWidget(shell_, "*fexist"), nullptr);
}

TEST_F(FileCommands, YesReplacesTheFileAskedAboutWhateverTheDialogShowsMeanwhile) {
  load(sample());
  const std::string asked = sample("asked.bib", "asked about\n");
  const std::string other = sample("other.bib", "never asked about\n");
  Widget dialog = open_save_dialog();
  save(dialog, asked);
  Widget question = overwrite_question();
  ASSERT_NE(question, nullptr);
  // While the question shows, another existing name is typed into the dialog.
  type_into(XmFileSelectionBoxGetChild(dialog, XmDIALOG_TEXT), other);
  pump();
  click(XmMessageBoxGetChild(question, XmDIALOG_OK_BUTTON));
  pump();
  EXPECT_TRUE(read_file(asked).starts_with("@article{12,\n"));
  EXPECT_EQ(read_file(other), "never asked about\n");
  EXPECT_EQ(ui::session().CurrentFileName(), asked);
  EXPECT_EQ(title_of(shell_), asked);
  EXPECT_FALSE(is_shown(dialog));
  EXPECT_EQ(messages(), "");
}

TEST_F(FileCommands, DirectoryIsNeverOfferedForOverwriting) {
  load(sample());
  const std::string directory = dir_.file("sub");
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  Widget dialog = open_save_dialog();
  for (const std::string& path : {directory, directory + "/"}) {
    clear_messages();
    save(dialog, path);
    EXPECT_EQ(messages(), "Cannot open file: " + path + "\n");
    EXPECT_EQ(XtNameToWidget(shell_, "*fexist"), nullptr);
    EXPECT_TRUE(is_shown(dialog));
  }
  EXPECT_EQ(ui::session().CurrentFileName(), dir_.file("refs.bib"));
}

TEST_F(FileCommands, FailedSaveKeepsTheDialogAndTheTitle) {
  load(sample());
  Widget dialog = open_save_dialog();
  const std::string out = dir_.file("no/such/dir.bib");
  save(dialog, out);
  EXPECT_EQ(messages(), "Cannot open file: " + out + "\n");
  EXPECT_TRUE(is_shown(dialog));
  EXPECT_EQ(ui::session().CurrentFileName(), dir_.file("refs.bib"));
}

TEST_F(FileCommands, PrintWritesTheListedReferencesAndNamesTheCurrentFile) {
  const std::string path = sample();
  load(path);
  choose("File", "Print");
  ASSERT_TRUE(pump_until([this] { return ui::latex_dialog != nullptr && is_shown(ui::latex_dialog); }));
  EXPECT_EQ(title_of(XtParent(ui::latex_dialog)), "Save LaTeX");
  const std::string tex = dir_.file("list.tex");
  save(ui::latex_dialog, tex);
  EXPECT_FALSE(is_shown(ui::latex_dialog));
  EXPECT_EQ(read_file(tex),
            "\\documentclass[12pt]{article} \n\\begin{document} \n\\nocite{12} \n\\nocite{7} \n"
            "\\bibliography{" +
                dir_.file("refs") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");
  EXPECT_EQ(title_of(shell_), path);
}

TEST_F(FileCommands, PrintToAnUnopenableFileKeepsTheDialogOpen) {
  load(sample());
  choose("File", "Print");
  ASSERT_TRUE(pump_until([this] { return ui::latex_dialog != nullptr && is_shown(ui::latex_dialog); }));
  save(ui::latex_dialog, dir_.file("no/dir/x.tex"));
  EXPECT_EQ(messages(), "Cannot open LaTeX file for output! \n");
  EXPECT_TRUE(is_shown(ui::latex_dialog));
}

TEST_F(FileCommands, QuitEndsWithStatusZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        choose("File", "Quit");
        pump();
      },
      ::testing::ExitedWithCode(0), "");
}

#if !defined(__SANITIZE_ADDRESS__)
// The bytes of address space the process takes now.
std::size_t address_space_in_use() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::stoul(line.substr(7)) * 1024;
  }
  return 0;
}
#endif

// A load that runs out of memory leaves the window and the database as they
// were: loaded with little address space to spare, a file whose macros
// double forty times fails with a message, and a save then writes what the
// database held before.
TEST_F(FileCommands, ALoadThatRunsOutOfMemoryLeavesTheDatabaseAsItWas) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit does not go with AddressSanitizer's shadow memory";
#else
  load_directly(
      "@article{3,\n author = {Doe, Jane},\n title = {Kept},\n year = {2001},\n}\n@misc{5,\n note = {n},\n}\n");
  const std::vector<std::string> lines = list_items(reflist());
  std::ostringstream expected_messages;
  const std::string expected = bibtex_text(ui::database(), expected_messages);
  std::string bomb = "@string{m0 = \"0123456789abcdef\"}\n";
  for (int k = 1; k < 40; ++k) {
    bomb += "@string{m" + std::to_string(k) + " = m" + std::to_string(k - 1) + " # m" + std::to_string(k - 1) + "}\n";
  }
  bomb += "@misc{bomb, note = m39}\n";
  const std::string path = sample("bomb.bib", bomb);

  Widget dialog = open_load_dialog();
  click_format(find_in(dialog, "*filetype"), 6);
  clear_messages();
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_AS, &old_limit), 0);
  struct rlimit tight = old_limit;
  // Room for the window's own small allocations, not for the file's macros.
  tight.rlim_cur = address_space_in_use() + (6U << 20);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
  load(path);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &old_limit), 0);
  pump();

  EXPECT_EQ(messages(), "Not enough memory to load " + path + " \n");
  EXPECT_TRUE(is_shown(dialog)) << "the Load dialog stays open, as after a file that cannot be opened";
  EXPECT_EQ(list_items(reflist()), lines);
  EXPECT_EQ(ui::database().ref_count(), 2U);
  EXPECT_TRUE(ui::database().blocks().empty());
  click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));

  const std::string out = dir_.file("after.bib");
  ui::show(ui::session().save(out, ui::messages()));
  EXPECT_EQ(read_file(out), expected);
#endif
}

// --- The recovery copy through the real commands ----------------------------

class RecoveryCopies : public FileCommands {
 protected:
  std::string copies() const { return dir_.file("state/refloom"); }
  std::string copy_text() const {
    const std::string path = ui::recovery_copy_path();
    return !path.empty() && file_exists(path) ? read_file(path) : "<no copy>";
  }
  std::string database_text() const {
    std::ostringstream ignored;
    return bibtex_text(ui::database(), ignored);
  }
};

TEST_F(RecoveryCopies, TheTimerCopiesEachChangeAndASaveRemovesTheCopy) {
  ui::start_recovery(copies(), 200);
  load(sample());
  ASSERT_TRUE(pump_until([&] { return copy_text() == database_text(); })) << copy_text();
  const std::string path = ui::recovery_copy_path();
  EXPECT_EQ(path, copies() + "/recovery-" + std::to_string(getpid()) + ".bib");
  select_line(1);
  choose("Edit", "Delete reference");
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_TRUE(pump_until([&] { return copy_text() == database_text(); })) << copy_text();

  save(open_save_dialog(), dir_.file("saved.bib"));
  EXPECT_FALSE(file_exists(path));
  pump(300);
  EXPECT_FALSE(file_exists(path));
  EXPECT_EQ(messages(), "");
}

TEST_F(RecoveryCopies, NewKeepsACopyOfWhatItEmptied) {
  // No timer comes in time: New itself writes the copy.
  ui::start_recovery(copies(), 60000);
  load(sample());
  const std::string loaded = database_text();
  choose("File", "New");
  ASSERT_TRUE(ui::database().empty());
  const std::string kept = copies() + "/recovery-" + std::to_string(getpid()) + ".bib";
  EXPECT_EQ(read_file(kept), loaded);
  std::vector<std::string> left;
  for (const LeftCopy& copy : left_copies(copies())) left.push_back(copy.path);
  EXPECT_EQ(left, std::vector<std::string>{kept});
  EXPECT_EQ(messages(), "");
}

TEST_F(RecoveryCopies, TheStartNamesCopiesThatEndedRunsLeft) {
  ASSERT_EQ(mkdir(dir_.file("state").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(copies().c_str(), 0700), 0);
  const std::string left = copies() + "/recovery-12345.bib";
  write_file(left, "@misc{1,\ntitle      = \"Left\",\n}\n\n");
  const std::time_t when = 1767225600;
  const utimbuf times{when, when};
  ASSERT_EQ(utime(left.c_str(), &times), 0);
  char shown_time[32];
  std::tm local{};
  localtime_r(&when, &local);
  std::strftime(shown_time, sizeof shown_time, "%Y-%m-%d %H:%M", &local);
  const std::string announcement =
      "Recovery copy of unsaved work from an earlier run (" + std::string(shown_time) + "): " + left + "\n" +
      "Load a recovery copy with File > Load and the format \"BibTeX (any style)\"; each stays until you delete "
      "it.\n";

  ui::start_recovery(copies());
  ui::show_messages();
  EXPECT_EQ(messages(), announcement);
  ASSERT_NE(ui::message_dialog, nullptr);
  ASSERT_TRUE(pump_until([] { return XtIsManaged(ui::message_dialog); }));
  EXPECT_EQ(text_of(XtNameToWidget(ui::message_dialog, "*messageText")),
            announcement.substr(0, announcement.size() - 1));
  // Named, not touched.
  EXPECT_EQ(read_file(left), "@misc{1,\ntitle      = \"Left\",\n}\n\n");
  EXPECT_TRUE(ui::database().empty());
}

}  // namespace
}  // namespace refloom::testing

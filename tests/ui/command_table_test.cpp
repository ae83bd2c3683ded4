// The menus' command table, read without a display: the entries the menus
// show, the client data that tells a menu's entries apart, and which of
// them need references, open the form or toggle.

#include "ui/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/search.h"

namespace refloom::ui {
namespace {

using Names = std::vector<std::string>;

// A menu's rows by label, "separator" for a separator.
Names rows_of(Menu menu) {
  Names names;
  for (const MenuCommand& command : kMenuCommands) {
    if (command.menu == menu) names.push_back(command.is_separator() ? "separator" : command.label);
  }
  return names;
}

template <class Test>
Names labels_where(Test test) {
  Names names;
  for (const MenuCommand& command : kMenuCommands) {
    if (!command.is_separator() && test(command)) names.push_back(command.label);
  }
  return names;
}

TEST(CommandTable, MenusShowTheirEntriesInOrder) {
  EXPECT_EQ(rows_of(Menu::kFile), (Names{"New", "Load", "Save", "separator", "Print", "separator", "Quit"}));
  EXPECT_EQ(rows_of(Menu::kEdit),
            (Names{"Add reference", "Edit reference", "Delete reference", "separator", "Reduce to listed references"}));
  EXPECT_EQ(rows_of(Menu::kSearch), (Names{"Search in all fields", "separator", "AND", "OR", "NOT", "separator",
                                           "View all references", "separator", "Case sensitive"}));
  std::string mnemonics;
  for (const MenuCommand& command : kMenuCommands) {
    if (!command.is_separator()) mnemonics += command.mnemonic;
  }
  EXPECT_EQ(mnemonics, "NLSPQAEDRSAONVC");
  std::string menus;
  for (const MenuInfo& menu : kMenus)
    menus += std::string(menu.label) + "/" + menu.pulldown + "/" + menu.mnemonic + " ";
  EXPECT_EQ(menus, "File/FilePullDown/F Edit/EditPullDown/E Search/SearchPullDown/S ");
}

TEST(CommandTable, ClientDataCountsAMenusCommandsFromZero) {
  const std::vector<std::pair<Menu, Names>> menus = {
      {Menu::kFile, {"New", "Load", "Save", "Print", "Quit"}},
      {Menu::kEdit, {"Add reference", "Edit reference", "Delete reference", "Reduce to listed references"}},
      {Menu::kSearch, {"Search in all fields", "AND", "OR", "NOT", "View all references", "Case sensitive"}},
  };
  for (const auto& [menu, labels] : menus) {
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const int position = static_cast<int>(i);
      const MenuCommand* command = menu_command(menu, position);
      ASSERT_NE(command, nullptr) << labels[i];
      EXPECT_EQ(command->label, labels[i]);
      EXPECT_EQ(position_in_menu(*command), position) << labels[i];
      EXPECT_EQ(position_of(menu, labels[i]), position) << labels[i];
    }
    // Numbers that are no entry of the menu run nothing.
    EXPECT_EQ(menu_command(menu, -1), nullptr);
    EXPECT_EQ(menu_command(menu, static_cast<int>(labels.size())), nullptr);
    EXPECT_EQ(position_of(menu, "separator"), -1);
  }
  EXPECT_EQ(position_of(Menu::kFile, "AND"), -1);
  // The form searches have the numbers of their modes.
  EXPECT_EQ(position_of(Menu::kSearch, "AND"), static_cast<int>(SearchMode::kAnd));
  EXPECT_EQ(position_of(Menu::kSearch, "OR"), static_cast<int>(SearchMode::kOr));
  EXPECT_EQ(position_of(Menu::kSearch, "NOT"), static_cast<int>(SearchMode::kNot));
}

TEST(CommandTable, TheDataCommandsAreTheTwelveThatNeedReferences) {
  const Names data = labels_where([](const MenuCommand& command) { return command.needs_references; });
  EXPECT_EQ(data, (Names{"New", "Save", "Print", "Edit reference", "Delete reference", "Reduce to listed references",
                         "Search in all fields", "AND", "OR", "NOT", "View all references", "Case sensitive"}));
  EXPECT_EQ(kDataCommandCount, data.size());
}

TEST(CommandTable, FormCommandsToggleAndAccelerators) {
  EXPECT_EQ(labels_where([](const MenuCommand& command) { return command.opens_form; }),
            (Names{"Add reference", "Edit reference", "AND", "OR", "NOT"}));
  EXPECT_EQ(labels_where([](const MenuCommand& command) { return command.toggle; }), (Names{"Case sensitive"}));
  EXPECT_EQ(labels_where([](const MenuCommand& command) {
              return *command.accelerator != '\0' || *command.accelerator_text != '\0';
            }),
            Names{});
}

TEST(CommandTable, EveryEntryHasAHandlerOfItsOwnAndSeparatorsNone) {
  std::set<void (*)()> handlers;
  for (const MenuCommand& command : kMenuCommands) {
    if (command.is_separator()) {
      EXPECT_EQ(command.handler, nullptr);
      EXPECT_FALSE(command.needs_references || command.toggle || command.opens_form);
      continue;
    }
    ASSERT_NE(command.handler, nullptr) << command.label;
    EXPECT_TRUE(handlers.insert(command.handler).second) << command.label << " shares its handler";
  }
  EXPECT_EQ(menu_command(Menu::kFile, 1)->handler, &open_load_dialog);
  EXPECT_EQ(menu_command(Menu::kSearch, 3)->handler, &search_form_not);
  EXPECT_EQ(menu_command(Menu::kSearch, 5)->handler, &toggle_case_sensitive);
}

}  // namespace
}  // namespace refloom::ui

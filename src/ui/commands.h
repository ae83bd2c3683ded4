#pragma once

// The commands of the menu bar, one row each in the order the menus show
// them. The window builds its menus from the table, and a menu's callback
// runs the row its entry stands for: a new command is a row here, its
// function, and its work in the session.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace refloom::ui {

enum class Menu { kFile, kEdit, kSearch };

// One menu of the menu bar: its pulldown's widget name, and the cascade's
// label (also its name) and mnemonic.
struct MenuInfo {
  Menu menu;
  const char* pulldown;
  const char* label;
  char mnemonic;
};

inline constexpr std::array kMenus = {
    MenuInfo{Menu::kFile, "FilePullDown", "File", 'F'},
    MenuInfo{Menu::kEdit, "EditPullDown", "Edit", 'E'},
    MenuInfo{Menu::kSearch, "SearchPullDown", "Search", 'S'},
};

constexpr const MenuInfo& menu_info(Menu menu) { return *std::ranges::find(kMenus, menu, &MenuInfo::menu); }

// An entry of a menu, or a separator (a row without a label).
struct MenuCommand {
  Menu menu = Menu::kFile;
  const char* label = nullptr;  // also the entry's widget name
  char mnemonic = 0;
  // A key that runs the command from the main window, as an Xt event
  // ("Ctrl<Key>s"), and how the entry shows it ("Ctrl+S"); none when empty.
  const char* accelerator = "";
  const char* accelerator_text = "";
  // Usable only while the database holds references.
  bool needs_references = false;
  // A toggle button (the case setting) rather than a push button.
  bool toggle = false;
  // Waits for the reference form: runs once the menu has closed, and brings
  // back a form already open instead of opening a second one.
  bool opens_form = false;
  void (*handler)() = nullptr;

  constexpr bool is_separator() const { return label == nullptr; }
};

// The work of the commands, next to their menus' other code.
// File (file_cb.cpp):
void new_database();
void open_load_dialog();
void open_save_dialog();
void open_print_dialog();
void quit();
// Edit (edit_cb.cpp):
void add_reference();
void edit_reference();
void delete_reference();
void reduce_to_listed();
// Search (search_cb.cpp):
void open_search_all_dialog();
void search_form_and();
void search_form_or();
void search_form_not();
void view_all();
void toggle_case_sensitive();

inline constexpr MenuCommand separator(Menu menu) { return {.menu = menu}; }

// clang-format off
inline constexpr std::array kMenuCommands = {
    MenuCommand{.menu = Menu::kFile, .label = "New", .mnemonic = 'N', .needs_references = true,
                .handler = new_database},
    MenuCommand{.menu = Menu::kFile, .label = "Load", .mnemonic = 'L', .handler = open_load_dialog},
    MenuCommand{.menu = Menu::kFile, .label = "Save", .mnemonic = 'S', .needs_references = true,
                .handler = open_save_dialog},
    separator(Menu::kFile),
    MenuCommand{.menu = Menu::kFile, .label = "Print", .mnemonic = 'P', .needs_references = true,
                .handler = open_print_dialog},
    separator(Menu::kFile),
    MenuCommand{.menu = Menu::kFile, .label = "Quit", .mnemonic = 'Q', .handler = quit},

    MenuCommand{.menu = Menu::kEdit, .label = "Add reference", .mnemonic = 'A', .opens_form = true,
                .handler = add_reference},
    MenuCommand{.menu = Menu::kEdit, .label = "Edit reference", .mnemonic = 'E', .needs_references = true,
                .opens_form = true, .handler = edit_reference},
    MenuCommand{.menu = Menu::kEdit, .label = "Delete reference", .mnemonic = 'D', .needs_references = true,
                .handler = delete_reference},
    separator(Menu::kEdit),
    MenuCommand{.menu = Menu::kEdit, .label = "Reduce to listed references", .mnemonic = 'R',
                .needs_references = true, .handler = reduce_to_listed},

    MenuCommand{.menu = Menu::kSearch, .label = "Search in all fields", .mnemonic = 'S', .needs_references = true,
                .handler = open_search_all_dialog},
    separator(Menu::kSearch),
    MenuCommand{.menu = Menu::kSearch, .label = "AND", .mnemonic = 'A', .needs_references = true,
                .opens_form = true, .handler = search_form_and},
    MenuCommand{.menu = Menu::kSearch, .label = "OR", .mnemonic = 'O', .needs_references = true,
                .opens_form = true, .handler = search_form_or},
    MenuCommand{.menu = Menu::kSearch, .label = "NOT", .mnemonic = 'N', .needs_references = true,
                .opens_form = true, .handler = search_form_not},
    separator(Menu::kSearch),
    MenuCommand{.menu = Menu::kSearch, .label = "View all references", .mnemonic = 'V', .needs_references = true,
                .handler = view_all},
    separator(Menu::kSearch),
    MenuCommand{.menu = Menu::kSearch, .label = "Case sensitive", .mnemonic = 'C', .needs_references = true,
                .toggle = true, .handler = toggle_case_sensitive},
};
// clang-format on

// The menus are built row by row: each menu's rows come together, the
// menus in the order of kMenus.
constexpr bool rows_follow_the_menus() {
  std::size_t menu = 0;
  for (const MenuCommand& command : kMenuCommands) {
    while (menu < kMenus.size() && kMenus[menu].menu != command.menu) ++menu;
    if (menu == kMenus.size()) return false;
  }
  return true;
}
static_assert(rows_follow_the_menus());

// The commands usable only while references are held, in menu order.
inline constexpr std::size_t kDataCommandCount =
    static_cast<std::size_t>(std::ranges::count_if(kMenuCommands, &MenuCommand::needs_references));

// An entry's client data: its place among its menu's commands (separators
// not counted), from 0.
constexpr int position_in_menu(const MenuCommand& entry) {
  int position = 0;
  for (const MenuCommand& command : kMenuCommands) {
    if (&command == &entry) return position;
    if (command.menu == entry.menu && !command.is_separator()) ++position;
  }
  return -1;
}

// The command at a place of a menu; none for a place it does not have.
constexpr const MenuCommand* menu_command(Menu menu, int position) {
  int place = 0;
  for (const MenuCommand& command : kMenuCommands) {
    if (command.menu != menu || command.is_separator()) continue;
    if (place++ == position) return &command;
  }
  return nullptr;
}

// The place of a menu's command by its label; -1 for none.
constexpr int position_of(Menu menu, std::string_view label) {
  for (const MenuCommand& command : kMenuCommands) {
    if (command.menu == menu && !command.is_separator() && label == command.label) return position_in_menu(command);
  }
  return -1;
}

}  // namespace refloom::ui

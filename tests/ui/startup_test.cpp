// The built program started as a user starts it, through its own main, and
// checked from outside: the window manager's view of its window, the
// resources of its class, the editres protocol, and its standard output.

#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "editres_client.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom::testing {
namespace {

constexpr const char* kTitle = "Refloom Manager, Ver. 1.7";
// Generous: the sanitizer build starts slowly on a loaded machine.
constexpr auto kPatience = std::chrono::seconds(20);

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds timeout = kPatience) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    sleep_ms(50);
  }
  return true;
}

// The program as a child process, its standard output read through a pipe.
class Program {
 public:
  Program(const std::string& path, const std::string& resource_dir, const std::string& state_dir) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipe_ends[1], STDOUT_FILENO);
      close(pipe_ends[0]);
      close(pipe_ends[1]);
      setenv("XAPPLRESDIR", resource_dir.c_str(), 1);
      // Its recovery copies stay with the test, and the user's stay unseen.
      setenv("XDG_STATE_HOME", state_dir.c_str(), 1);
      execl(path.c_str(), "refloom", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipe_ends[1]);
    output_fd_ = pipe_ends[0];
    fcntl(output_fd_, F_SETFL, O_NONBLOCK);
  }
  ~Program() {
    if (running()) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (output_fd_ >= 0) close(output_fd_);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return pid_ > 0; }
  bool running() {
    if (pid_ <= 0 || ended_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) ended_ = true;
    return !ended_;
  }
  // Everything the program has written to standard output so far.
  const std::string& output() {
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(output_fd_, buffer, sizeof buffer)) > 0)
      output_.append(buffer, static_cast<std::size_t>(count));
    return output_;
  }

 private:
  pid_t pid_ = -1;
  int output_fd_ = -1;
  bool ended_ = false;
  std::string output_;
};

std::optional<std::string> window_name(Display* display, Window window) {
  char* name = nullptr;
  if (!XFetchName(display, window, &name) || name == nullptr) return std::nullopt;
  std::string text = name;
  XFree(name);
  return text;
}

// A client window below `parent` (window manager frames included) whose
// name passes `wanted`.
Window find_window(Display* display, Window parent, const std::function<bool(const std::string&)>& wanted) {
  Window root = None;
  Window up = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return None;
  Window found = None;
  for (unsigned i = 0; i < count && found == None; ++i) {
    const auto name = window_name(display, children[i]);
    if (name && wanted(*name)) {
      found = children[i];
    } else {
      found = find_window(display, children[i], wanted);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

class RealProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs a display: run it with make test";
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    // Resources for the class Refloom, and only there: the program sees
    // them only if it starts the toolkit with that class.
    write_file(resources_.file("Refloom"), "Refloom.iconName: Iconified Refloom\n");
  }
  void TearDown() override {
    program_.reset();
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  void start() {
    program_ = std::make_unique<Program>(REFLOOM_PROGRAM, resources_.path(), state_.path());
    ASSERT_TRUE(program_->started());
    ASSERT_TRUE(wait_for([this] {
      main_window_ =
          find_window(display_, DefaultRootWindow(display_), [](const std::string& name) { return name == kTitle; });
      return main_window_ != None || !program_->running();
    }));
    ASSERT_NE(main_window_, None) << "no window titled " << kTitle << "; the program wrote: " << program_->output();
    // Mapped and shown by the window manager, which gives a window it
    // maps the keyboard focus (mwm's startupKeyFocus).
    ASSERT_TRUE(wait_for([this] {
      XWindowAttributes attributes;
      return XGetWindowAttributes(display_, main_window_, &attributes) && attributes.map_state == IsViewable;
    }));
    ASSERT_TRUE(wait_for([this] { return focused(main_window_); })) << "the main window did not get the focus";
  }

  bool focused(Window window) const {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus == window;
  }

  // The windows right below the root that show and that no window manager
  // frames: posted menus, among others.
  std::set<Window> override_redirect_windows() const {
    std::set<Window> found;
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display_, children[i], &attributes) && attributes.override_redirect &&
          attributes.map_state == IsViewable) {
        found.insert(children[i]);
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  void key(KeySym keysym, KeySym modifier = NoSymbol) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    ASSERT_NE(code, 0) << "no key for " << keysym;
    std::vector<KeyCode> held;
    if (modifier != NoSymbol) held.push_back(XKeysymToKeycode(display_, modifier));
    if (XkbKeycodeToKeysym(display_, code, 0, 0) != keysym) held.push_back(XKeysymToKeycode(display_, XK_Shift_L));
    for (KeyCode down : held) XTestFakeKeyEvent(display_, down, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it) XTestFakeKeyEvent(display_, *it, False, CurrentTime);
    XFlush(display_);
    sleep_ms(15);
  }
  void type(const std::string& text) {
    for (char c : text) key(static_cast<KeySym>(static_cast<unsigned char>(c)));
  }
  // Posts a menu of the menu bar by its mnemonic, then, once it shows
  // (and holds the keyboard), picks an entry by its own.
  void menu(KeySym cascade, KeySym entry) {
    const std::set<Window> before = override_redirect_windows();
    key(cascade, XK_Alt_L);
    ASSERT_TRUE(wait_for([&] { return override_redirect_windows() != before; })) << "the menu did not post";
    key(entry);
  }
  void click_into_main_window() {
    int x = 0;
    int y = 0;
    Window child = None;
    XTranslateCoordinates(display_, main_window_, DefaultRootWindow(display_), 200, 150, &x, &y, &child);
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XFlush(display_);
    ASSERT_TRUE(wait_for([this] { return focused(main_window_); }));
  }

  Display* display_ = nullptr;
  TempDir resources_;
  TempDir files_;
  TempDir state_;
  std::unique_ptr<Program> program_;
  Window main_window_ = None;
};

TEST_F(RealProgram, StartsWithTheClassRefloomItsResourcesAndTheTitle) {
  start();
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(display_, main_window_, &hint));
  EXPECT_STREQ(hint.res_class, "Refloom");
  EXPECT_STREQ(hint.res_name, "refloom");
  XFree(hint.res_name);
  XFree(hint.res_class);
  EXPECT_EQ(window_name(display_, main_window_), kTitle);
  char* icon_name = nullptr;
  ASSERT_TRUE(XGetIconName(display_, main_window_, &icon_name));
  EXPECT_STREQ(icon_name, "Iconified Refloom");
  XFree(icon_name);
  EXPECT_TRUE(program_->running());
  EXPECT_EQ(program_->output(), "");
}

TEST_F(RealProgram, AnswersEditresWithItsWidgetTree) {
  start();
  const EditresTree tree = editres_widget_tree(display_, main_window_, {}, 10000);
  ASSERT_EQ(tree.error, "");
  EXPECT_EQ(tree.toolkit, "Xt");
  ASSERT_FALSE(tree.widgets.empty());
  const EditresWidget& shell = tree.widgets.front();
  EXPECT_EQ(shell.name, "refloom");
  EXPECT_EQ(shell.widget_class, "Refloom");  // the application class
  EXPECT_EQ(shell.path.size(), 1U);
  EXPECT_EQ(shell.window, main_window_);

  const EditresWidget* main_w = tree.find("main_w");
  const EditresWidget* reflist = tree.find("reflist");
  const EditresWidget* message = tree.find("message");
  ASSERT_NE(main_w, nullptr);
  ASSERT_NE(reflist, nullptr);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(main_w->widget_class, "XmMainWindow");
  EXPECT_EQ(reflist->widget_class, "XmList");
  EXPECT_EQ(message->widget_class, "XmLabel");
  EXPECT_EQ(main_w->path, (std::vector<std::uint32_t>{shell.path[0], main_w->path.back()}));
  EXPECT_EQ(reflist->path, (std::vector<std::uint32_t>{shell.path[0], main_w->path.back(), reflist->path.back()}));
  EXPECT_NE(reflist->window, 0U);  // realized
  for (const char* name : {"menubar", "FilePullDown", "Load", "Case sensitive"}) {
    EXPECT_NE(tree.find(name), nullptr) << name;
  }
}

TEST_F(RealProgram, MessagesOfALoadArriveWhileTheProgramRuns) {
  const std::string path = files_.file("bad.bib");
  write_file(path, "@article{3,\nyear = 1999,\n}\n");
  start();
  click_into_main_window();
  menu(XK_f, XK_l);
  Window dialog = None;
  ASSERT_TRUE(wait_for([&] {
    dialog = find_window(display_, DefaultRootWindow(display_),
                         [](const std::string& name) { return name.rfind("Load ", 0) == 0; });
    return dialog != None;
  })) << "the Load dialog did not appear";
  ASSERT_TRUE(wait_for([&] { return focused(dialog); })) << "the Load dialog did not get the focus";
  key(XK_slash, XK_Control_L);  // select the whole selection text
  type(path);
  key(XK_Return);

  const std::string expected =
      "BibTeX file corrupted in reference 1 ! \nyear must start with either >> { << or >> \" << \n";
  EXPECT_TRUE(wait_for([&] { return program_->output().size() >= expected.size(); }))
      << "only this came: " << program_->output();
  EXPECT_EQ(program_->output().substr(0, expected.size()), expected);
  EXPECT_TRUE(program_->running());
}

// The command line, from outside: what needs no display works without one,
// and whatever keeps the window from coming ends with one line on standard
// error and status 1.
CommandResult run_refloom(const std::vector<std::string>& args, const std::string& display) {
  std::vector<std::string> env_args = {"-u", "DISPLAY"};
  if (!display.empty()) env_args.push_back("DISPLAY=" + display);
  // A program that opens its window after all is ended (status 124) rather
  // than waited for.
  env_args.insert(env_args.end(), {"timeout", "20"});
  env_args.push_back(REFLOOM_PROGRAM);
  env_args.insert(env_args.end(), args.begin(), args.end());
  return run_command("/usr/bin/env", env_args);
}

constexpr const char* kUsage =
    "usage: refloom [X-Toolkit-options]\n"
    "       refloom --help | --version\n"
    "\n"
    "Refloom manages a bibliography kept in BibTeX format in one Motif window on\n"
    "an X display. It takes the standard X Toolkit options (see X(7)) and no\n"
    "others; among them:\n"
    "  -display DISPLAY    the X display to use (else $DISPLAY)\n"
    "  -geometry GEOMETRY  size and place of the main window, as 600x400+0+0\n"
    "  -name NAME          the name its resources are looked up under\n"
    "  -xrm RESOURCE       a resource line, as\n"
    "                      -xrm 'Refloom*renderTable.refloom.fontSize: 12'\n"
    "  -iconic             start as an icon\n"
    "  -bg COLOR, -fg COLOR, -synchronous, -xnllanguage LANGUAGE\n"
    "  --help              show this text and end\n"
    "  --version           show the version and end\n"
    "\n"
    "File > Load reads these formats (the refloom-convert -f name in brackets):\n"
    "  1. BibTeX (bibtex)\n"
    "  2. Medline Ovid (ovid)\n"
    "  3. Medline Spirs (spirs)\n"
    "  4. Medline PubMed (pubmed)\n"
    "  5. Inspec (inspec)\n"
    "  6. BibTeX (any style) (bibtex-any)\n"
    "  7. PubMed / MEDLINE (.nbib) (nbib)\n"
    "  8. RIS (ris)\n"
    "\n"
    "While the database holds changes no save has written, a recovery copy of it\n"
    "is kept in $XDG_STATE_HOME/refloom (else ~/.local/state/refloom); the next\n"
    "start names the copies that ended runs left. See refloom(1).\n";

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
  for (const std::string display : {"", ":9999"}) {
    SCOPED_TRACE("DISPLAY=" + display);
    CommandResult help = run_refloom({"--help"}, display);
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.out, kUsage);
    EXPECT_EQ(help.err, "");
    CommandResult version = run_refloom({"--version"}, display);
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out, "refloom 1.7\n");
    EXPECT_EQ(version.err, "");
    // Asked for after toolkit options, too.
    version = run_refloom({"-xrm", "*background: grey", "--version"}, display);
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out, "refloom 1.7\n");
  }
}

TEST(CommandLine, NoDisplayIsOneLineAndStatusOne) {
  CommandResult unset = run_refloom({}, "");
  EXPECT_EQ(unset.exit_status, 1);
  EXPECT_EQ(unset.out, "");
  EXPECT_EQ(unset.err, "refloom: cannot open the display: DISPLAY is not set and no -display was given\n");
  CommandResult absent = run_refloom({}, ":9999");
  EXPECT_EQ(absent.exit_status, 1);
  EXPECT_EQ(absent.out, "");
  EXPECT_EQ(absent.err, "refloom: cannot open the display :9999\n");
  // The toolkit's -display counts before $DISPLAY.
  const char* real_display = std::getenv("DISPLAY");
  ASSERT_NE(real_display, nullptr) << "needs a display: run it with make test";
  CommandResult option = run_refloom({"-display", ":9998"}, real_display);
  EXPECT_EQ(option.exit_status, 1);
  EXPECT_EQ(option.err, "refloom: cannot open the display :9998\n");
}

TEST(CommandLine, WhatTheToolkitDoesNotTakeIsRefused) {
  const char* display = std::getenv("DISPLAY");
  ASSERT_NE(display, nullptr) << "needs a display: run it with make test";
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  for (const Case& refused : std::vector<Case>{
           {{"-bogus"}, "refloom: unknown option: -bogus (refloom --help lists the options)\n"},
           {{"--helpme"}, "refloom: unknown option: --helpme (refloom --help lists the options)\n"},
           // The toolkit's own options go first, with their values.
           {{"-xrm", "*background: grey", "-iconic", "refs.bib"},
            "refloom: unknown argument: refs.bib (refloom --help lists the options)\n"},
       }) {
    const CommandResult result = run_refloom(refused.args, display);
    EXPECT_EQ(result.exit_status, 1) << refused.args.front();
    EXPECT_EQ(result.err, refused.error);
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
}  // namespace refloom::testing

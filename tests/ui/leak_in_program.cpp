// Linked into a copy of the real program (leaky_refloom): forgets, on
// purpose, a compound string and a copy of a text made by the toolkit,
// once, when the program starts. Its black-box run must fail with both
// reported: the leak checker runs when Quit ends the program, and the
// suppressions of the GUI tests hide none of our leaks.

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <cstdint>

namespace {

// Each returns the pointer's low bit only, so that no copy of it stays
// reachable for the leak checker.
[[gnu::noinline]] unsigned forget_compound_string_in_program() {
  XmString forgotten = XmStringCreateLocalized(const_cast<char*>("never freed"));
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(forgotten) & 1U);
}

[[gnu::noinline]] unsigned forget_text_copy_in_program() {
  char* forgotten = XtNewString("a copy never freed");
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(forgotten) & 1U);
}

[[gnu::used]] const unsigned forgotten_bits = forget_compound_string_in_program() + forget_text_copy_in_program();

}  // namespace

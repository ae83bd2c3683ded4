// Arbitrary bytes as a RIS export read by import_ris.
#include "todays_import_fuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return refloom::fuzzing::check_todays_import(refloom::import_ris, data, size);
}

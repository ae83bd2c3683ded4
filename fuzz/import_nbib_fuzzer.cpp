// Arbitrary bytes as a PubMed .nbib export read by import_nbib.
#include "todays_import_fuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return refloom::fuzzing::check_todays_import(refloom::import_nbib, data, size);
}

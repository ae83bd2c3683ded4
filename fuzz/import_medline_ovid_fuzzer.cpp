// Arbitrary bytes as a Medline export read by import_medline_ovid.
#include "import_fuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return refloom::fuzzing::check_import(refloom::import_medline_ovid, data, size);
}

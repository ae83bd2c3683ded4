// Arbitrary bytes as an Inspec export read by import_inspec.
#include "import_fuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return refloom::fuzzing::check_import(refloom::import_inspec, data, size);
}

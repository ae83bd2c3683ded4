#include "import/line_rules.h"

#include <array>

namespace refloom {

namespace {

constexpr std::array<std::string_view, 6> kFourLetterTags = {"MESH", "*LHM", "*LHC", "MIME", "MJME", "ISSN"};
constexpr std::array<std::string_view, 16> kTwoLetterTags = {"TG", "TO", "CP", "LA", "PY", "AN", "PT", "CN",
                                                             "RN", "GS", "PS", "SI", "SB", "UO", "UD", "NM"};
constexpr std::array<std::string_view, 3> kInspecOnlyTags = {"DT", "TC", "CY"};

}  // namespace

bool is_keyword_line(std::string_view line, KeywordTags tags) {
  for (std::string_view tag : kFourLetterTags) {
    if (line.starts_with(tag)) return true;
  }
  for (std::string_view tag : kTwoLetterTags) {
    if (line.starts_with(tag)) return true;
  }
  if (tags == KeywordTags::kInspec) {
    for (std::string_view tag : kInspecOnlyTags) {
      if (line.starts_with(tag)) return true;
    }
  }
  return false;
}

}  // namespace refloom

#pragma once

#include <string>
#include <string_view>

namespace refloom::testing {

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// Whole-file helpers for tests.
void write_file(const std::string& path, std::string_view content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

}  // namespace refloom::testing

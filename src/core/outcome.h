#pragma once

namespace refloom {

// How reading a file ended. What was read before a read error stays read;
// a file that cannot be opened changes nothing.
enum class ReadResult {
  kDone,        // read to its end (or to a format error, which is reported)
  kCutShort,    // a read error ended it early (reported)
  kCannotOpen,  // "Cannot open file: <path>" was reported
};

// How writing a file ended. A file that was not written completely never
// replaces the old one.
enum class WriteResult {
  kDone,
  kFailed,  // it could not be opened or written (reported)
};

}  // namespace refloom

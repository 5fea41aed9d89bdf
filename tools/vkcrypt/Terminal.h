#pragma once

// What vkcrypt needs from the terminal and standard input: passwords asked
// for without echo or read from a file, secrets read into wiped buffers, a
// progress bar on standard error, and an orderly end on signals.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Secret.h"

namespace vkcrypt {

// A failure to report as "vkcrypt: MESSAGE" with exit status 1.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// SIGINT, SIGTERM and SIGHUP (unless ignored) turn the terminal's echo back
// on if a password prompt had turned it off, remove the named temporary
// files of unfinished output, then end the process as the signal would.
void EndCleanlyOnSignals();

// The first line of FILE ("-": standard input, read up to the line break
// only, so that what follows stays for the message), without its line
// break, byte for byte.
Secret ReadPasswordFile(const std::string& path);

// Asks on the controlling terminal with echo off; twice when confirm is set.
// The answer is converted to UTF-8 from the terminal's encoding.
Secret AskPassword(bool confirm);

// Text in the character set `codeset` (a name iconv knows) as UTF-8. UTF-8
// passes unchanged, and so does ASCII: the C locale says nothing of what a
// terminal really sends.
Secret ToUtf8(std::string_view text, const std::string& codeset);

// Everything on standard input, from where the password line (if any) ended.
Secret ReadStandardInput();

// The whole of a small file.
Secret ReadTextFile(const std::string& path);

// A bar on standard error while a file of more than a few megabytes is
// worked on, when standard error is a terminal.
class ProgressBar {
 public:
  explicit ProgressBar(const std::string& label);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  bool operator()(uint64_t done, uint64_t total);

 private:
  std::string label_;
  bool shown_ = false;
  int lastPercent_ = -1;
};

}  // namespace vkcrypt

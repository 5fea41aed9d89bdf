#pragma once

// What vkcrypt needs from the terminal and standard input: passwords asked
// for without echo or read from a file, and a progress bar on standard error.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vkcrypt {

// A failure to report as "vkcrypt: MESSAGE" with exit status 1.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The first line of FILE ("-": standard input, read up to the line break
// only, so that what follows stays for the message), without its line break.
std::string ReadPasswordFile(const std::string& path);

// Asks on the controlling terminal with echo off; twice when confirm is set.
std::string AskPassword(bool confirm);

// Everything on standard input, from where the password line (if any) ended.
std::string ReadStandardInput();

// The whole of a small file.
std::string ReadTextFile(const std::string& path);

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

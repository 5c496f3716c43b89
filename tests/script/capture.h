// Test helpers: capture standard output and feed standard input while a piece
// of the script engine runs.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

class CaptureStdout {
 public:
  CaptureStdout() : saved(std::cout.rdbuf(buffer.rdbuf())) {}
  ~CaptureStdout() { std::cout.rdbuf(saved); }
  CaptureStdout(const CaptureStdout&) = delete;
  CaptureStdout& operator=(const CaptureStdout&) = delete;
  std::string text() const { return buffer.str(); }

 private:
  std::ostringstream buffer;
  std::streambuf* saved;
};

class FeedStdin {
 public:
  explicit FeedStdin(const std::string& input)
      : buffer(input), saved(std::cin.rdbuf(buffer.rdbuf())) {}
  ~FeedStdin() {
    std::cin.rdbuf(saved);
    std::cin.clear();
  }
  FeedStdin(const FeedStdin&) = delete;
  FeedStdin& operator=(const FeedStdin&) = delete;

 private:
  std::istringstream buffer;
  std::streambuf* saved;
};

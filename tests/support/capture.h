// Helpers shared by every test area: collect what the code under test prints
// on a console stream, feed standard input, and read and write whole files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

// Redirects a console stream (standard output unless named) into a string for
// as long as the capture lives.
class Capture {
 public:
  explicit Capture(std::ostream& stream = std::cout)
      : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
  ~Capture() { stream_.rdbuf(saved_); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  std::string str() const { return text_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

// Makes standard input read the given text for as long as it lives.
class FeedStdin {
 public:
  explicit FeedStdin(const std::string& input)
      : buffer_(input), saved_(std::cin.rdbuf(buffer_.rdbuf())) {}
  ~FeedStdin() {
    std::cin.rdbuf(saved_);
    std::cin.clear();
  }
  FeedStdin(const FeedStdin&) = delete;
  FeedStdin& operator=(const FeedStdin&) = delete;

 private:
  std::istringstream buffer_;
  std::streambuf* saved_;
};

// The whole file, byte for byte; empty when it cannot be opened.
inline std::string read_file(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const std::filesystem::path& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

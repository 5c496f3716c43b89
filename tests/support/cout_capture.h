// Collects what the code under test prints on standard output, for as long as
// the capture lives.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

class CoutCapture {
 public:
  CoutCapture() : saved(std::cout.rdbuf(buffer.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved); }
  CoutCapture(const CoutCapture&) = delete;
  CoutCapture& operator=(const CoutCapture&) = delete;
  std::string Text() const { return buffer.str(); }

 private:
  std::ostringstream buffer;
  std::streambuf* saved;
};

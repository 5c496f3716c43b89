// Record base: header line writing and reading for every stored class.
#include "base.h"

#include <iostream>

#include "base_text.h"

std::string CutName(std::string_view text) {
  return std::string(fit(text, kNamestrChars));
}

CBase::CBase(const char* name, std::int32_t version)
    : classname(CutName(name)), classversion(version) {}

void CBase::Read(std::istream& in) {
  std::int32_t first = 0;
  if (!(in >> first)) return;
  if (first != 0) {
    // Short header: the number is the version and no name follows.
    classversion = first;
    return;
  }
  // The word is read whole so that the stream stays in step with the file,
  // then cut like every other name.
  std::string word;
  std::int32_t version = 0;
  if (!(in >> word >> version)) return;
  word = CutName(word);
  if (word != classname && pMessages != nullptr) {
    *pMessages << "error" << '\n' << word << ' ' << classname << std::endl;
  }
  classversion = version;
}

void CBase::Write(std::ostream& out) const {
  out << 0L << space << classname << space << classversion << std::endl;
}

std::ostream& space(std::ostream& out) {
  return out << ' ';
}

std::ostream& operator<<(std::ostream& out, const CBase& object) {
  object.Write(out);
  return out;
}

std::istream& operator>>(std::istream& in, CBase& object) {
  object.Read(in);
  return in;
}

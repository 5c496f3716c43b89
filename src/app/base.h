// Record base of every stored class: a class name and a format version,
// written as a one-line header in front of the object's own fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

// Longest text a name buffer holds (class names, domain names, file names
// kept in records). Longer words are cut to this length.
inline constexpr std::size_t kNamestrChars = 254;

// Copies at most kNamestrChars characters of a text; every name field uses it.
std::string CutName(std::string_view text);

class CBase {
 public:
  CBase(const char* name, std::int32_t version);
  virtual ~CBase() = default;

  // Reads the header. A leading 0 announces a named header (0 name version);
  // any other first number is the version itself. A name that differs from
  // this object's class name is reported on the message stream, but reading
  // goes on either way.
  // A failed stream leaves the version unchanged and reports nothing.
  virtual void Read(std::istream& in);
  // Writes the named header line and flushes the stream.
  virtual void Write(std::ostream& out) const;

  const char* GetClassName() const { return classname.c_str(); }

  // Where Read reports; null (the default): nowhere. Whoever makes a record
  // decides where it speaks.
  void SetMessages(std::ostream* out) { pMessages = out; }
  std::ostream* GetMessages() const { return pMessages; }
  std::int32_t GetClassVersion() const { return classversion; }

 protected:
  CBase(const CBase&) = default;
  CBase& operator=(const CBase&) = default;

  // Lets a derived class name its header after itself.
  void SetClassName(std::string_view name) { classname = CutName(name); }

  std::string classname;
  std::int32_t classversion;
  std::ostream* pMessages = nullptr;
};

// Writes one blank; used like any other manipulator: out << a << space << b.
std::ostream& space(std::ostream& out);

std::ostream& operator<<(std::ostream& out, const CBase& object);
std::istream& operator>>(std::istream& in, CBase& object);

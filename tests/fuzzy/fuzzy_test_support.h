// Helpers shared by the fuzzy library tests: capturing a console stream, and
// building parameter sets and variables from short descriptions.
#pragma once

#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tarncvar.h"
#include "tarnpara.h"

// Redirects a stream (std::cout or std::cerr) into a string while alive.
class Capture {
 public:
  explicit Capture(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
  ~Capture() { stream_.rdbuf(saved_); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  std::string str() const { return text_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

inline ParameterSet make_ps(const char* name, float lower, float upper, float median,
                            float distribution, float dilatation,
                            std::initializer_list<const char*> terms, float importance = 1) {
  NList names;
  for (const char* t : terms) names.add(t);
  const CList colours(names.get_number());
  return ParameterSet(name, lower, upper, median, distribution, dilatation, importance, &colours,
                      &names);
}

// The membership polyline of term k as a flat list x0, y0, x1, y1, ...
inline std::vector<float> msf_of(const PlimList& terms, int k) {
  std::vector<float> flat;
  for (const Point& p : terms.find(k)->get_msf()->points()) {
    flat.push_back(p.get_x());
    flat.push_back(p.get_y());
  }
  return flat;
}

inline std::vector<float> points_of(const PList& line) {
  std::vector<float> flat;
  for (const Point& p : line.points()) {
    flat.push_back(p.get_x());
    flat.push_back(p.get_y());
  }
  return flat;
}

inline PList polyline(std::initializer_list<float> flat) {
  PList line;
  const std::vector<float> v(flat);
  for (std::size_t i = 0; i + 1 < v.size(); i += 2) line.add(v[i], v[i + 1]);
  return line;
}

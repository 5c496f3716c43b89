// Helpers shared by the fuzzy library tests: building parameter sets and
// polylines from short descriptions, flattening polylines for comparison, and
// floats by their bits.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "capture.h"
#include "tarncvar.h"
#include "tarnpara.h"

inline ParameterSet make_ps(const char* name, float lower, float upper, float median,
                            float distribution, float dilatation,
                            std::initializer_list<const char*> terms, float importance = 1,
                            std::ostream* err = nullptr) {
  NList names;
  for (const char* t : terms) names.add(t);
  const CList colours(names.get_number());
  return ParameterSet(name, lower, upper, median, distribution, dilatation, importance, &colours,
                      &names, err);
}

// A float's bits: -0 and 0 differ, NaN equals itself.
inline std::uint32_t bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}

// A polyline as a flat list x0, y0, x1, y1, ...
inline std::vector<float> points_of(const PList& line) {
  std::vector<float> flat;
  for (const Point& p : line.points()) {
    flat.push_back(p.get_x());
    flat.push_back(p.get_y());
  }
  return flat;
}

// The polyline of a flat list, appended point by point without ordering.
inline PList polyline(const std::vector<float>& flat) {
  PList line;
  for (std::size_t i = 0; i + 1 < flat.size(); i += 2) line.add(flat[i], flat[i + 1]);
  return line;
}

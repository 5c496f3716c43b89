// The HTML report: one self-contained page (inline CSS and SVG, no script,
// no network) showing a roster's grid and ratings, and for an optimisation
// the roster before and after and the trajectory.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "roster_view.h"

// A roster with its evaluation and its rated constraints (any order).
struct CReportRoster {
  CRosterGrid cGrid;
  float fEvaluation = 0;
  std::vector<CRatedConstraint> vConstraints;
  // Where the roster departs from the operating plan (`domtarn check` lists
  // the places): days with a shift's count of groups, groups with a
  // shift's count of days.
  std::size_t iPlanDepartures = 0;
};

struct CReportData {
  std::string sTitle;                   // shown as the page's heading, e.g. the domain file's name
  CReportRoster cBefore;                // the roster read
  std::optional<CReportRoster> oAfter;  // the optimised roster, for an optimisation
  std::vector<CTrajectoryPoint> vTrajectory;  // for an optimisation, in order
  // How an optimisation ran, in words (method, seed, bounds, how it ended);
  // empty for none.
  std::string sRun;
};

// Writes the whole page.
void WriteHtmlReport(std::ostream& out, const CReportData& data);

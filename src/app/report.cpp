// The HTML report: a placeholder page until the full report is in place.
#include "report.h"

#include <ostream>

void WriteHtmlReport(std::ostream& out, const CReportData& data) {
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" << data.sTitle
      << "</title></head><body></body></html>\n";
}

// A scatter chart placed on a worksheet: what the chart builder leaves behind
// and what the xlsx writer draws as a native chart.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nml::host {

class Range;

struct ChartObject {
  std::shared_ptr<Range> anchor;  // one cell; offsets are measured from its top-left corner
  std::int32_t left = 0;          // points
  std::int32_t top = 0;           // points
  std::int32_t width = 0;         // points
  std::int32_t height = 0;        // points
  std::string title;
  std::string firstAxisTitle;   // horizontal axis, carries the first series
  std::string secondAxisTitle;  // vertical axis, carries the second series
  std::shared_ptr<Range> firstSeries;   // one column: x values
  std::shared_ptr<Range> secondSeries;  // one column: y values
};

}  // namespace nml::host

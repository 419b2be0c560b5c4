// ChartMaker: builds one scatter chart on the anchor's worksheet.
#pragma once

#include <cstdint>
#include <string>

#include "host/range.h"

namespace nml::support {

class ChartMaker {
 public:
  static constexpr std::int32_t kDefaultWidth = 200;   // points
  static constexpr std::int32_t kDefaultHeight = 150;  // points

  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = kDefaultWidth;
  std::int32_t Height = kDefaultHeight;
  std::string Title;
  std::string FirstAxisTitle;
  std::string SecondAxisTitle;
  host::RangeRef Anchor;
  host::RangeRef FirstSeries;
  host::RangeRef SecondSeries;

  /// Places a ChartObject on the anchor's sheet from the properties; without
  /// an anchor or a series raises kChartIncomplete. Width and Height keep
  /// the size the chart was given.
  void Build();
};

}  // namespace nml::support

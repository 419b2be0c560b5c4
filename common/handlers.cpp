#include "common/handlers.h"

namespace nml::detail {

std::string StampText(const Procedure& p, const Error& e) {
  std::uint32_t line = p.line;
  if (e.RaisedInFile() != nullptr && std::strcmp(e.RaisedInFile(), p.file) == 0) line = e.RaisedAtLine();
  std::string s = "Line " + std::to_string(line) + " in NMLCorrelation.";
  s.append(p.cls);
  s += '.';
  s.append(p.name);
  return s;
}

}  // namespace nml::detail

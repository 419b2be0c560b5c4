#include "host/files/relationship_target.h"

#include <algorithm>
#include <vector>

namespace nml::host::files {

std::string ResolveRelationshipTarget(std::string_view sourceDir, std::string_view target) {
  std::string path;
  if (!target.empty() && target.front() == '/') {
    path = target.substr(1);
  } else {
    path = sourceDir;
    path += target;
  }
  std::vector<std::string_view> segments;
  const std::string_view all(path);
  std::size_t from = 0;
  while (from <= all.size()) {
    const std::size_t slash = std::min(all.find('/', from), all.size());
    const std::string_view segment = all.substr(from, slash - from);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    from = slash + 1;
  }
  std::string out;
  for (const std::string_view s : segments) {
    if (!out.empty()) out += '/';
    out += s;
  }
  return out;
}

std::string PartFolder(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

std::string RelationshipsPartOf(std::string_view part) {
  const std::string folder = PartFolder(part);
  return folder + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

}  // namespace nml::host::files

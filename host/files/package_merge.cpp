#include "host/files/package_merge.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <vector>

#include "common/ascii_text.h"
#include "host/files/relationship_target.h"

namespace nml::host::files {
namespace {

constexpr std::string_view kRelationshipsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kWorksheetType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";

/// True when tag ("<name ...>") is a start or empty-element tag named name.
bool TagIs(std::string_view tag, std::string_view name) {
  if (tag.size() < name.size() + 2 || tag[0] != '<' || tag.substr(1, name.size()) != name) return false;
  const char next = tag[name.size() + 1];
  return next == ' ' || next == '>' || next == '/' || next == '\t' || next == '\n' || next == '\r';
}

/// Where an attribute's value lies in a tag: [first, second).
std::optional<std::pair<std::size_t, std::size_t>> AttrSpan(std::string_view tag, std::string_view name) {
  for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    const char before = at ? tag[at - 1] : '<';
    if (before != ' ' && before != '\t' && before != '\n' && before != '\r') continue;
    std::size_t i = at + name.size();
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n' || tag[i] == '\r')) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n' || tag[i] == '\r')) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
    const std::size_t end = tag.find(tag[i], i + 1);
    if (end == std::string_view::npos) return std::nullopt;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

std::optional<std::string> Attr(std::string_view tag, std::string_view name) {
  const auto span = AttrSpan(tag, name);
  if (!span) return std::nullopt;
  return std::string(tag.substr(span->first, span->second - span->first));
}

std::string WithAttr(std::string_view tag, std::string_view name, std::string_view value) {
  const auto span = AttrSpan(tag, name);
  if (span) return std::string(tag.substr(0, span->first)) + std::string(value) + std::string(tag.substr(span->second));
  const std::size_t end = tag.size() >= 2 && tag[tag.size() - 2] == '/' ? tag.size() - 2 : tag.size() - 1;
  return std::string(tag.substr(0, end)) + " " + std::string(name) + "=\"" + std::string(value) + "\"" +
         std::string(tag.substr(end));
}

std::optional<std::uint64_t> Number(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  std::uint64_t v = 0;
  const auto [p, ec] = std::from_chars(text->data(), text->data() + text->size(), v);
  if (ec != std::errc() || p != text->data() + text->size()) return std::nullopt;
  return v;
}

/// Calls visit(start, end) for every start or empty-element tag named name.
void ForEachTag(std::string_view xml, std::string_view name,
                const std::function<void(std::size_t, std::size_t)>& visit) {
  const std::string open = "<" + std::string(name);
  for (std::size_t at = xml.find(open); at != std::string_view::npos; at = xml.find(open, at + 1)) {
    const std::size_t end = xml.find('>', at);
    if (end == std::string_view::npos) return;
    if (TagIs(xml.substr(at, end - at + 1), name)) visit(at, end + 1);
  }
}

/// An element's place: its start tag begins at start, its content lies in
/// [inner, innerEnd) and the element ends before end.
struct Element {
  std::size_t start = 0, inner = 0, innerEnd = 0, end = 0;
};

std::optional<Element> FindElement(std::string_view xml, std::string_view name, std::size_t from = 0) {
  const std::string open = "<" + std::string(name), close = "</" + std::string(name) + ">";
  for (std::size_t at = xml.find(open, from); at != std::string_view::npos; at = xml.find(open, at + 1)) {
    const std::size_t gt = xml.find('>', at);
    if (gt == std::string_view::npos) return std::nullopt;
    if (!TagIs(xml.substr(at, gt - at + 1), name)) continue;
    if (xml[gt - 1] == '/') return Element{at, gt, gt, gt + 1};
    const std::size_t closeAt = xml.find(close, gt);
    if (closeAt == std::string_view::npos) return std::nullopt;
    return Element{at, gt + 1, closeAt, closeAt + close.size()};
  }
  return std::nullopt;
}

/// The top-level child elements of content, each whole.
std::vector<std::string> Children(std::string_view content) {
  std::vector<std::string> out;
  int depth = 0;
  std::size_t childStart = 0;
  for (std::size_t at = content.find('<'); at != std::string_view::npos; at = content.find('<', at + 1)) {
    const std::size_t gt = content.find('>', at);
    if (gt == std::string_view::npos) break;
    const char kind = at + 1 < content.size() ? content[at + 1] : '\0';
    if (kind == '?' || kind == '!') {
      at = gt;
      continue;
    }
    if (kind == '/') {
      if (--depth == 0) out.emplace_back(content.substr(childStart, gt + 1 - childStart));
    } else if (content[gt - 1] == '/') {
      if (depth == 0) out.emplace_back(content.substr(at, gt + 1 - at));
    } else {
      if (depth++ == 0) childStart = at;
    }
    at = gt;
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      static constexpr std::pair<std::string_view, char> kNamed[] = {
          {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
      bool done = false;
      for (const auto& [entity, c] : kNamed)
        if (text.substr(i, entity.size()) == entity) {
          out.push_back(c);
          i += entity.size() - 1;
          done = true;
          break;
        }
      if (done) continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

struct Relationship {
  std::string id, type, target;  // target resolved to a part name
  bool external = false;
};

std::vector<Relationship> ReadRels(const std::string& xml, const std::string& ownerDir) {
  std::vector<Relationship> rels;
  ForEachTag(xml, "Relationship", [&](std::size_t a, std::size_t b) {
    const std::string_view tag = std::string_view(xml).substr(a, b - a);
    Relationship r;
    r.id = Attr(tag, "Id").value_or("");
    r.type = Attr(tag, "Type").value_or("");
    r.external = Attr(tag, "TargetMode").value_or("") == "External";
    const std::string target = Unescape(Attr(tag, "Target").value_or(""));
    r.target = r.external ? target : ResolveRelationshipTarget(ownerDir, target);
    rels.push_back(std::move(r));
  });
  return rels;
}

struct SheetEntry {
  std::string element;  // the whole <sheet .../> tag
  std::string key;      // the unescaped, lower-cased name
  std::string rid;
};

std::optional<std::vector<SheetEntry>> ReadSheets(const std::string& workbook, Element& sheets) {
  const auto found = FindElement(workbook, "sheets");
  if (!found) return std::nullopt;
  sheets = *found;
  std::vector<SheetEntry> out;
  for (std::string& child : Children(std::string_view(workbook).substr(sheets.inner, sheets.innerEnd - sheets.inner))) {
    const auto name = Attr(child, "name");
    auto rid = Attr(child, "r:id");
    if (!rid)
      if (const std::size_t colon = child.find(":id="); colon != std::string::npos) {
        const std::size_t space = child.rfind(' ', colon);
        if (space != std::string::npos) rid = Attr(child, child.substr(space + 1, colon + 3 - space - 1));
      }
    if (!name) return std::nullopt;
    out.push_back({child, AsciiLowerCopy(Unescape(*name)), rid.value_or("")});
  }
  return out;
}

std::string ReplaceIn(const std::string& xml, const Element& e, const std::string& content) {
  return xml.substr(0, e.inner) + content + xml.substr(e.innerEnd);
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += p;
  return out;
}

/// A part name not used by the source nor taken already: the same folder and
/// stem with the lowest free number ("xl/charts/chart3.xml").
std::string FreeName(const std::string& part, const ZipArchive& source, std::set<std::string>& taken) {
  const std::size_t slash = part.rfind('/') + 1;  // npos + 1 == 0
  const std::size_t dot = part.find('.', slash);
  std::size_t stemEnd = dot == std::string::npos ? part.size() : dot;
  while (stemEnd > slash && part[stemEnd - 1] >= '0' && part[stemEnd - 1] <= '9') --stemEnd;
  const std::string stem = part.substr(0, stemEnd);
  const std::string ext = dot == std::string::npos ? std::string() : part.substr(dot);
  for (int k = 1;; ++k) {
    const std::string name = stem + std::to_string(k) + ext;
    if (!source.Contains(name) && !taken.count(AsciiLowerCopy(name))) {
      taken.insert(AsciiLowerCopy(name));
      return name;
    }
  }
}

}  // namespace

std::optional<std::string> PackageMerge::MergeStyles(const std::string& source, const std::string& ours,
                                                     std::uint32_t& xfOffset) {
  std::string merged = source;
  // Our custom number formats get ids above the source's (or the source's id
  // for the same format code).
  std::map<std::uint64_t, std::uint64_t> numFmtIds;
  if (const auto ourFmts = FindElement(ours, "numFmts")) {
    std::vector<std::string> sourceFmts;
    std::optional<Element> fmts = FindElement(merged, "numFmts");
    if (fmts) sourceFmts = Children(std::string_view(merged).substr(fmts->inner, fmts->innerEnd - fmts->inner));
    std::uint64_t next = 164;
    std::map<std::string, std::uint64_t> byCode;
    for (const std::string& f : sourceFmts) {
      const auto id = Number(Attr(f, "numFmtId"));
      if (!id) return std::nullopt;
      next = std::max(next, *id + 1);
      byCode.emplace(Attr(f, "formatCode").value_or(""), *id);
    }
    std::vector<std::string> added;
    for (const std::string& f : Children(std::string_view(ours).substr(ourFmts->inner, ourFmts->innerEnd - ourFmts->inner))) {
      const auto id = Number(Attr(f, "numFmtId"));
      if (!id) return std::nullopt;
      const std::string code = Attr(f, "formatCode").value_or("");
      if (const auto same = byCode.find(code); same != byCode.end()) {
        numFmtIds[*id] = same->second;
      } else {
        numFmtIds[*id] = next;
        byCode.emplace(code, next);
        added.push_back(WithAttr(f, "numFmtId", std::to_string(next++)));
      }
    }
    if (!added.empty()) {
      const std::string count = std::to_string(sourceFmts.size() + added.size());
      if (fmts && fmts->inner != fmts->innerEnd) {
        const std::string open = WithAttr(merged.substr(fmts->start, fmts->inner - fmts->start), "count", count);
        merged = merged.substr(0, fmts->start) + open + Join(sourceFmts) + Join(added) + merged.substr(fmts->innerEnd);
      } else {
        // No list yet (or an empty one): it is the first child of the style sheet.
        if (fmts) merged.erase(fmts->start, fmts->end - fmts->start);
        const auto sheet = FindElement(merged, "styleSheet");
        if (!sheet || sheet->inner == sheet->innerEnd) return std::nullopt;
        merged.insert(sheet->inner, "<numFmts count=\"" + count + "\">" + Join(added) + "</numFmts>");
      }
    }
  }
  // Fonts, fills and borders are appended; each list's offset re-indexes our formats.
  std::map<std::string, std::size_t> offsets;
  for (const char* list : {"fonts", "fills", "borders", "cellXfs"}) {
    const auto mine = FindElement(ours, list);
    const auto theirs = FindElement(merged, list);
    if (!mine || !theirs || theirs->inner == theirs->innerEnd) return std::nullopt;
    const std::vector<std::string> theirItems =
        Children(std::string_view(merged).substr(theirs->inner, theirs->innerEnd - theirs->inner));
    std::vector<std::string> myItems = Children(std::string_view(ours).substr(mine->inner, mine->innerEnd - mine->inner));
    offsets[list] = theirItems.size();
    if (std::string_view(list) == "cellXfs") {
      for (std::string& xf : myItems) {
        const std::size_t gt = xf.find('>') + 1;
        std::string tag = xf.substr(0, gt);
        for (const auto& [attr, from] : {std::pair{"fontId", "fonts"}, {"fillId", "fills"}, {"borderId", "borders"}})
          if (const auto v = Number(Attr(tag, attr))) tag = WithAttr(tag, attr, std::to_string(*v + offsets[from]));
        if (const auto v = Number(Attr(tag, "numFmtId")); v && numFmtIds.count(*v))
          tag = WithAttr(tag, "numFmtId", std::to_string(numFmtIds[*v]));
        if (!Attr(tag, "xfId")) tag = WithAttr(tag, "xfId", "0");
        xf = tag + xf.substr(gt);
      }
      xfOffset = static_cast<std::uint32_t>(theirItems.size());
    }
    const std::string open = WithAttr(merged.substr(theirs->start, theirs->inner - theirs->start), "count",
                                      std::to_string(theirItems.size() + myItems.size()));
    merged = merged.substr(0, theirs->start) + open + merged.substr(theirs->inner, theirs->innerEnd - theirs->inner) +
             Join(myItems) + merged.substr(theirs->innerEnd);
  }
  return merged;
}

std::optional<PackageMerge> PackageMerge::Plan(ZipArchive& source, ZipArchive& ours, std::string& why) {
  PackageMerge plan;
  // The source's workbook part, found through the package relationships.
  const auto rootRels = source.ReadIfPresent("_rels/.rels");
  std::string wbPart;
  if (rootRels)
    for (const Relationship& r : ReadRels(*rootRels, ""))
      if (r.type.ends_with("/officeDocument") && !r.external) wbPart = r.target;
  if (wbPart.empty() || !source.Contains(wbPart)) {
    why = "its workbook part cannot be found";
    return std::nullopt;
  }
  const std::string wbRelsPart = RelationshipsPartOf(wbPart);
  std::string workbook = source.Read(wbPart);
  const auto wbRelsText = source.ReadIfPresent(wbRelsPart);
  const auto contentTypes = source.ReadIfPresent("[Content_Types].xml");
  Element sheetsAt;
  const auto sourceSheets = ReadSheets(workbook, sheetsAt);
  if (!wbRelsText || !contentTypes || !sourceSheets) {
    why = "its sheet list cannot be read";
    return std::nullopt;
  }
  const std::vector<Relationship> wbRels = ReadRels(*wbRelsText, PartFolder(wbPart));
  std::string stylesPart;
  for (const Relationship& r : wbRels)
    if (r.type.ends_with("/styles") && !r.external) stylesPart = r.target;
  if (stylesPart.empty() || !source.Contains(stylesPart)) {
    why = "it has no styles part";
    return std::nullopt;
  }

  // Our sheets, in tab order, and which of them are new.
  const std::string ourWorkbook = ours.Read("xl/workbook.xml");
  Element ourSheetsAt;
  const auto ourSheets = ReadSheets(ourWorkbook, ourSheetsAt);
  if (!ourSheets) {
    why = "the written sheet list cannot be read";
    return std::nullopt;
  }
  const std::vector<Relationship> ourWbRels = ReadRels(ours.Read("xl/_rels/workbook.xml.rels"), "xl/");
  auto ourTarget = [&](const std::string& rid) {
    for (const Relationship& r : ourWbRels)
      if (r.id == rid) return r.target;
    return std::string();
  };
  // Only worksheets were read into the workbook; a sheet of ours named like
  // a chart or dialog sheet of the source would give the package two sheets
  // of one name.
  std::set<std::string> sourceNames, otherSheetNames;
  for (const SheetEntry& s : *sourceSheets) {
    bool worksheet = false;
    for (const Relationship& r : wbRels) worksheet |= r.id == s.rid && r.type.ends_with("/worksheet");
    (worksheet ? sourceNames : otherSheetNames).insert(s.key);
  }
  for (const SheetEntry& s : *ourSheets)
    if (otherSheetNames.count(s.key)) {
      why = "a new sheet has the name of one of its chart or dialog sheets";
      return std::nullopt;
    }

  // The new sheets and every part they reach get free names.
  std::set<std::string> taken;
  std::vector<std::string> queue;
  std::vector<std::pair<std::size_t, std::string>> added;  // our sheet index, merged part name
  for (std::size_t i = 0; i < ourSheets->size(); ++i) {
    const SheetEntry& s = (*ourSheets)[i];
    if (sourceNames.count(s.key)) continue;
    const std::string part = ourTarget(s.rid);
    if (part.empty() || !ours.Contains(part)) {
      why = "a written sheet part is missing";
      return std::nullopt;
    }
    plan.newSheets_.insert(part);
    plan.newNames_[part] = FreeName(part, source, taken);
    added.emplace_back(i, plan.newNames_[part]);
    queue.push_back(part);
  }
  while (!queue.empty()) {
    const std::string part = queue.back();
    queue.pop_back();
    const std::string rels = RelationshipsPartOf(part);
    const auto relsText = ours.ReadIfPresent(rels);
    if (!relsText) continue;
    plan.newNames_[rels] = RelationshipsPartOf(plan.newNames_[part]);
    for (const Relationship& r : ReadRels(*relsText, PartFolder(part)))
      if (!r.external && ours.Contains(r.target) && !plan.newNames_.count(r.target)) {
        plan.newNames_[r.target] = FreeName(r.target, source, taken);
        queue.push_back(r.target);
      }
  }

  // Styles: the source's, with our cell formats appended.
  std::uint32_t xfOffset = 0;
  const auto styles = MergeStyles(source.Read(stylesPart), ours.Read("xl/styles.xml"), xfOffset);
  if (!styles) {
    why = "its styles cannot be read";
    return std::nullopt;
  }
  plan.xfOffset_ = xfOffset;

  // The sheet list: each new sheet goes after the sheet it follows in ours.
  std::string prefix;  // the prefix bound to the relationships namespace
  if (const std::size_t ns = workbook.find(kRelationshipsNs); ns != std::string::npos) {
    const std::size_t xmlns = workbook.rfind("xmlns:", ns);
    const std::size_t eq = workbook.find('=', xmlns);
    if (xmlns != std::string::npos && eq < ns) prefix = workbook.substr(xmlns + 6, eq - xmlns - 6);
  }
  std::uint64_t nextSheetId = 1;
  for (const SheetEntry& s : *sourceSheets)
    nextSheetId = std::max(nextSheetId, Number(Attr(s.element, "sheetId")).value_or(0) + 1);
  std::vector<std::string> elements;
  std::vector<int> sourceIndex;  // for each merged sheet, its index in the source (-1 for a new one)
  for (std::size_t i = 0; i < sourceSheets->size(); ++i) {
    elements.push_back((*sourceSheets)[i].element);
    sourceIndex.push_back(static_cast<int>(i));
  }
  std::string relsAdded, typesAdded;
  const std::string ourTypes = ours.Read("[Content_Types].xml");
  int ridNumber = 1;
  std::size_t insertAt = 0;
  std::size_t addedNo = 0;
  int ourActive = static_cast<int>(Number(Attr(ourWorkbook.substr(0, ourWorkbook.find("</bookViews>")), "activeTab")).value_or(0));
  int mergedActive = -1;
  for (std::size_t i = 0; i < ourSheets->size(); ++i) {
    const SheetEntry& s = (*ourSheets)[i];
    if (sourceNames.count(s.key)) {
      for (std::size_t m = 0; m < elements.size(); ++m)
        if (sourceIndex[m] >= 0 && (*sourceSheets)[static_cast<std::size_t>(sourceIndex[m])].key == s.key) insertAt = m + 1;
      if (static_cast<int>(i) == ourActive) mergedActive = static_cast<int>(insertAt) - 1;
      continue;
    }
    std::string rid;
    do rid = "rIdNml" + std::to_string(ridNumber++);
    while (wbRelsText->find("\"" + rid + "\"") != std::string::npos);
    const std::string name = Attr(s.element, "name").value_or("");
    const std::string idAttr = prefix.empty() ? "xmlns:r=\"" + std::string(kRelationshipsNs) + "\" r:id" : prefix + ":id";
    elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(insertAt),
                    "<sheet name=\"" + name + "\" sheetId=\"" + std::to_string(nextSheetId++) + "\" " + idAttr +
                        "=\"" + rid + "\"/>");
    sourceIndex.insert(sourceIndex.begin() + static_cast<std::ptrdiff_t>(insertAt), -1);
    if (static_cast<int>(i) == ourActive) mergedActive = static_cast<int>(insertAt);
    ++insertAt;
    const std::string& part = added[addedNo++].second;
    std::string target = part;
    const std::string wbDir = PartFolder(wbPart);
    if (target.starts_with(wbDir)) target = target.substr(wbDir.size());
    else target = "/" + target;
    relsAdded += "<Relationship Id=\"" + rid + "\" Type=\"" + std::string(kWorksheetType) + "\" Target=\"" + target + "\"/>";
  }
  // Content types of every added part, as ours gave them.
  for (const auto& [from, to] : plan.newNames_) {
    bool found = false;
    ForEachTag(ourTypes, "Override", [&](std::size_t a, std::size_t b) {
      const std::string_view tag = std::string_view(ourTypes).substr(a, b - a);
      if (!found && Attr(tag, "PartName").value_or("") == "/" + from) {
        typesAdded += "<Override PartName=\"/" + to + "\" ContentType=\"" + Attr(tag, "ContentType").value_or("") + "\"/>";
        found = true;
      }
    });
    const std::size_t dot = to.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : AsciiLowerCopy(to.substr(dot + 1));
    if (!found && !ext.empty() && contentTypes->find("Extension=\"" + ext + "\"") == std::string::npos &&
        typesAdded.find("Extension=\"" + ext + "\"") == std::string::npos) {
      ForEachTag(ourTypes, "Default", [&](std::size_t a, std::size_t b) {
        const std::string_view tag = std::string_view(ourTypes).substr(a, b - a);
        if (AsciiLowerCopy(Attr(tag, "Extension").value_or("")) == ext) typesAdded += std::string(tag);
      });
    }
  }

  // Sheet positions move: sheet-local names and the views follow them.
  std::vector<std::size_t> moved(sourceSheets->size());
  for (std::size_t m = 0; m < sourceIndex.size(); ++m)
    if (sourceIndex[m] >= 0) moved[static_cast<std::size_t>(sourceIndex[m])] = m;
  std::string merged = ReplaceIn(workbook, sheetsAt, Join(elements));
  auto remap = [&](const std::string& tagName, const std::string& attr) {
    std::vector<std::pair<std::size_t, std::size_t>> tags;
    ForEachTag(merged, tagName, [&](std::size_t a, std::size_t b) { tags.emplace_back(a, b); });
    for (auto it = tags.rbegin(); it != tags.rend(); ++it) {
      const std::string tag = merged.substr(it->first, it->second - it->first);
      const auto v = Number(Attr(tag, attr));
      if (!v) continue;
      std::size_t to = *v < moved.size() ? moved[*v] : *v;
      if (attr == "activeTab" && mergedActive >= 0) to = static_cast<std::size_t>(mergedActive);
      merged.replace(it->first, it->second - it->first, WithAttr(tag, attr, std::to_string(to)));
    }
  };
  remap("definedName", "localSheetId");
  remap("workbookView", "firstSheet");
  remap("workbookView", "activeTab");
  if (mergedActive >= 0 && sourceIndex[static_cast<std::size_t>(mergedActive)] < 0) {
    bool hasActiveTab = false;
    ForEachTag(merged, "workbookView", [&](std::size_t a, std::size_t b) {
      hasActiveTab |= Attr(std::string_view(merged).substr(a, b - a), "activeTab").has_value();
    });
    if (!hasActiveTab)
      if (const auto view = FindElement(merged, "workbookView")) {
        const std::size_t gt = merged.find('>', view->start) + 1;
        merged.replace(view->start, gt - view->start,
                       WithAttr(merged.substr(view->start, gt - view->start), "activeTab", std::to_string(mergedActive)));
      }
    // The new sheet opens selected alone: the source's selected tabs are let go.
    for (const SheetEntry& s : *sourceSheets)
      for (const Relationship& r : wbRels)
        if (r.id == s.rid && !r.external) plan.deselect_.insert(AsciiLowerCopy(r.target));
  }

  auto insertBefore = [](std::string text, std::string_view closing, const std::string& add) {
    const std::size_t at = text.rfind(closing);
    if (at == std::string::npos) return std::optional<std::string>();
    text.insert(at, add);
    return std::optional<std::string>(std::move(text));
  };
  const auto mergedRels = insertBefore(*wbRelsText, "</Relationships>", relsAdded);
  const auto mergedTypes = insertBefore(*contentTypes, "</Types>", typesAdded);
  if (!mergedRels || !mergedTypes) {
    why = "its relationships or content types cannot be read";
    return std::nullopt;
  }
  plan.macroEnabled_ = contentTypes->find("macroEnabled.main+xml") != std::string::npos;
  plan.mergedParts_[AsciiLowerCopy(wbPart)] = std::move(merged);
  plan.mergedParts_[AsciiLowerCopy(wbRelsPart)] = *mergedRels;
  plan.mergedParts_["[content_types].xml"] = *mergedTypes;
  plan.mergedParts_[AsciiLowerCopy(stylesPart)] = *styles;
  return plan;
}

const std::string* PackageMerge::NewName(const std::string& ourPart) const {
  const auto it = newNames_.find(ourPart);
  return it == newNames_.end() ? nullptr : &it->second;
}

std::string PackageMerge::ShiftStyles(std::string_view xml) const {
  std::string out;
  out.reserve(xml.size() + xml.size() / 32);
  std::size_t i = 0;
  while (i < xml.size()) {
    const std::size_t lt = xml.find('<', i);
    const std::size_t gt = lt == std::string_view::npos ? lt : xml.find('>', lt);
    if (gt == std::string_view::npos) {
      out.append(xml.substr(i));
      break;
    }
    out.append(xml.substr(i, lt - i));
    const std::string_view tag = xml.substr(lt, gt - lt + 1);
    const char* attr = TagIs(tag, "c") || TagIs(tag, "row") ? "s" : TagIs(tag, "col") ? "style" : nullptr;
    const auto value = attr ? Number(Attr(tag, attr)) : std::nullopt;
    if (value)
      out += WithAttr(tag, attr, std::to_string(*value + xfOffset_));
    else
      out.append(tag);
    i = gt + 1;
  }
  return out;
}

std::string PackageMerge::Rewrite(const std::string& ourPart, std::string xml) const {
  if (IsNewSheet(ourPart)) return ShiftStyles(xml);
  if (!ourPart.ends_with(".rels")) return xml;
  // Relationship targets of a renamed part: the renamed part keeps its folder,
  // so the target's last segment changes.
  const std::size_t relsDir = ourPart.rfind("_rels/");
  const std::string ownerDir = relsDir == std::string::npos ? std::string() : ourPart.substr(0, relsDir);
  std::vector<std::pair<std::size_t, std::size_t>> tags;
  ForEachTag(xml, "Relationship", [&](std::size_t a, std::size_t b) { tags.emplace_back(a, b); });
  for (auto it = tags.rbegin(); it != tags.rend(); ++it) {
    const std::string tag = xml.substr(it->first, it->second - it->first);
    if (Attr(tag, "TargetMode").value_or("") == "External") continue;
    const auto target = Attr(tag, "Target");
    if (!target) continue;
    const auto renamed = newNames_.find(ResolveRelationshipTarget(ownerDir, Unescape(*target)));
    if (renamed == newNames_.end()) continue;
    const std::size_t slash = target->rfind('/');
    const std::string newTarget = (slash == std::string::npos ? std::string() : target->substr(0, slash + 1)) +
                                  renamed->second.substr(renamed->second.rfind('/') + 1);
    xml.replace(it->first, it->second - it->first, WithAttr(tag, "Target", newTarget));
  }
  return xml;
}

void PackageMerge::WriteSource(ZipArchive& source, ZipPackageWriter& out) const {
  for (const ZipEntry& entry : source.Entries()) {
    const std::string key = AsciiLowerCopy(entry.name);
    std::optional<std::string> text;
    if (const auto merged = mergedParts_.find(key); merged != mergedParts_.end()) {
      text = merged->second;
    } else if (deselect_.count(key)) {
      // The sheet views come before the cell data: only the text up to them
      // is held, and the data (which may run to hundreds of megabytes)
      // streams through.
      std::string head;
      source.ReadPieces(entry.name, [&](std::string_view piece) {
        // Only the new text is searched (with room for a mark cut in two).
        const std::size_t from = head.size() - std::min<std::size_t>(head.size(), 16);
        head.append(piece);
        return head.find("</sheetViews>", from) == std::string::npos &&
               head.find("<sheetData", from) == std::string::npos;
      });
      const auto view = FindElement(head, "sheetView");
      const std::size_t gt = view ? head.find('>', view->start) + 1 : 0;
      const std::string tag = view ? head.substr(view->start, gt - view->start) : std::string();
      if (view && (Attr(tag, "tabSelected").value_or("") == "1" || Attr(tag, "tabSelected").value_or("") == "true")) {
        const std::string changed = head.substr(0, view->start) + WithAttr(tag, "tabSelected", "0");
        out.BeginPart(entry.name, entry.size + changed.size());
        out.Write(changed);
        head = std::string();
        std::uint64_t skip = gt;  // the text replaced by changed
        source.ReadPieces(entry.name, [&](std::string_view piece) {
          const std::size_t drop = static_cast<std::size_t>(std::min<std::uint64_t>(skip, piece.size()));
          skip -= drop;
          out.Write(piece.substr(drop));
          return true;
        });
        out.EndPart();
        continue;
      }
    }
    if (!text) {
      out.CopyPart(source, entry);
      continue;
    }
    out.BeginPart(entry.name, text->size());
    out.Write(*text);
    out.EndPart();
  }
}

}  // namespace nml::host::files

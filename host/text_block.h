// The texts of one block of cells, packed into one buffer: each text is its
// length (7 bits a byte, low bits first) followed by its bytes, and a cell
// refers to its text by the offset where the length starts. A one-letter
// text costs two bytes, against the string object, map node and allocation
// of a text kept on its own.
//
// Texts are only appended; a dropped text stays in the buffer as waste until
// the owner compacts the block (NeedsCompaction), which copies the live
// texts into a new buffer and hands out their new offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace nml::host {

class TextBlock {
 public:
  /// Appends a text; returns its offset. text may point into this block.
  std::uint64_t Add(std::string_view text);
  /// The text at an offset returned by Add (valid until the next Add).
  std::string_view View(std::uint64_t offset) const;
  /// Counts the text at offset as waste.
  void Drop(std::uint64_t offset);

  /// Texts added and not dropped.
  std::uint32_t Live() const { return live_; }
  /// True when dropped texts take more than half the buffer (and enough bytes
  /// that copying the rest is worth it).
  bool NeedsCompaction() const { return waste_ >= kMinWaste && waste_ * 2 > bytes_.size(); }
  /// Bytes held in use by live texts (with their lengths).
  std::size_t LiveBytes() const { return bytes_.size() - waste_; }
  /// Bytes allocated.
  std::size_t Capacity() const { return bytes_.capacity(); }
  void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }

 private:
  static constexpr std::size_t kMinWaste = 1024;
  std::vector<char> bytes_;
  std::size_t waste_ = 0;
  std::uint32_t live_ = 0;
};

}  // namespace nml::host

#include "host/text_block.h"

#include <cassert>
#include <cstring>
#include <functional>

namespace nml::host {

namespace {

struct Entry {
  std::size_t length;  // of the text
  std::size_t header;  // bytes of the length before it
};

Entry ReadEntry(const std::vector<char>& bytes, std::uint64_t offset) {
  assert(offset < bytes.size() && "offset of a text of this block");
  Entry e{0, 0};
  for (int shift = 0;; shift += 7) {
    const auto b = static_cast<unsigned char>(bytes[offset + e.header++]);
    e.length |= static_cast<std::size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return e;
  }
}

}  // namespace

std::uint64_t TextBlock::Add(std::string_view text) {
  // A text inside this buffer is found again by its position, since growing
  // the buffer moves it.
  const char* base = bytes_.data();
  const std::less<const char*> before;  // a total order, also for pointers into other buffers
  const bool inside = !text.empty() && !before(text.data(), base) && before(text.data(), base + bytes_.size());
  const std::size_t from = inside ? static_cast<std::size_t>(text.data() - base) : 0;

  const std::uint64_t offset = bytes_.size();
  char header[10];
  std::size_t h = 0;
  for (std::size_t n = text.size();; n >>= 7) {
    header[h++] = static_cast<char>((n & 0x7F) | (n > 0x7F ? 0x80 : 0));
    if (n <= 0x7F) break;
  }
  bytes_.resize(offset + h + text.size());
  std::memcpy(bytes_.data() + offset, header, h);
  if (!text.empty()) std::memcpy(bytes_.data() + offset + h, inside ? bytes_.data() + from : text.data(), text.size());
  ++live_;
  return offset;
}

std::string_view TextBlock::View(std::uint64_t offset) const {
  const Entry e = ReadEntry(bytes_, offset);
  return {bytes_.data() + offset + e.header, e.length};
}

void TextBlock::Drop(std::uint64_t offset) {
  const Entry e = ReadEntry(bytes_, offset);
  waste_ += e.header + e.length;
  --live_;
}

}  // namespace nml::host

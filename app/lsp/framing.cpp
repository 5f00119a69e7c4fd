// The reader keeps at most one header's worth of bytes and one read's chunk beyond the body
// it hands out; a body is read straight into the string that carries it, and a body over
// the limit is read a chunk at a time and dropped. So its memory is bounded by the limit
// whatever the stream holds.
#include "app/lsp/framing.h"

#include <algorithm>
#include <charconv>

namespace orven::lsp {

namespace {

constexpr std::size_t kChunk = std::size_t{64} << 10;
constexpr std::string_view kLengthName = "content-length";
// What resynchronising looks for, in any case.
constexpr std::string_view kMark = "content-length:";

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_letters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

MessageReader::MessageReader(Source source, std::size_t limit)
    : source_(std::move(source)), limit_(limit) {}

bool MessageReader::fill() {
  if (ended_) return false;
  if (at_ == buffer_.size()) {
    buffer_.clear();
    at_ = 0;
  } else if (at_ > kChunk) {
    buffer_.erase(0, at_);
    at_ = 0;
  }
  const std::size_t old = buffer_.size();
  buffer_.resize(old + kChunk);
  const std::size_t got = source_(buffer_.data() + old, kChunk);
  buffer_.resize(old + got);
  if (got == 0) ended_ = true;
  return got != 0;
}

std::size_t MessageReader::header(std::size_t& header_size, bool& bad) const {
  constexpr std::size_t npos = std::string::npos;
  // First the whole header: up to the blank line that ends it.
  std::size_t end = npos;
  for (std::size_t from = at_;;) {
    const std::size_t line_end = buffer_.find('\n', from);
    if (line_end == npos || line_end - at_ > kHeaderLimit) {
      bad = buffer_.size() - at_ > kHeaderLimit;
      return npos;
    }
    const std::size_t size = line_end - from;
    from = line_end + 1;
    if (size == 0 || (size == 1 && buffer_[line_end - 1] == '\r')) {
      end = from;
      break;
    }
  }
  header_size = end - at_;
  std::size_t length = npos;
  for (std::size_t from = at_; from < end;) {
    const std::size_t line_end = buffer_.find('\n', from);
    std::string_view line(buffer_.data() + from, line_end - from);
    from = line_end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == npos) {
      bad = true;
      return npos;
    }
    if (!same_letters(trimmed(line.substr(0, colon)), kLengthName)) continue;  // Content-Type
    const std::string_view value = trimmed(line.substr(colon + 1));
    std::size_t n = 0;
    const auto [number_end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
    // Digits only, no sign, no overflow; a second length must say the same.
    if (value.empty() || error != std::errc() || number_end != value.data() + value.size() ||
        (length != npos && length != n) || n == npos) {
      bad = true;
      return npos;
    }
    length = n;
  }
  // One without a length announces no body.
  bad = length == npos;
  return length;
}

bool MessageReader::resynchronise() {
  for (;;) {
    const auto found =
        std::search(buffer_.begin() + static_cast<std::ptrdiff_t>(at_), buffer_.end(),
                    kMark.begin(), kMark.end(), [](char x, char y) { return lower(x) == y; });
    if (found != buffer_.end()) {
      at_ = static_cast<std::size_t>(found - buffer_.begin());
      return true;
    }
    // The mark may begin in the last bytes and end in those still to come.
    at_ = std::max(at_, buffer_.size() - std::min(buffer_.size(), kMark.size() - 1));
    if (!fill()) return false;
  }
}

Incoming MessageReader::body(std::size_t length) {
  if (length > limit_) {
    const std::size_t keep = std::min(length, kRefusedPrefix);
    while (buffer_.size() - at_ < keep) {
      if (!fill()) return {};
    }
    Incoming refused{Incoming::Kind::too_large, buffer_.substr(at_, keep)};
    std::size_t left = length;
    for (;;) {
      const std::size_t take = std::min(left, buffer_.size() - at_);
      at_ += take;
      left -= take;
      if (left == 0 || !fill()) break;
    }
    return refused;
  }
  std::string text(length, '\0');
  const std::size_t have = std::min(length, buffer_.size() - at_);
  std::copy_n(buffer_.data() + at_, have, text.data());
  at_ += have;
  for (std::size_t got = have; got < length;) {
    const std::size_t n = ended_ ? 0 : source_(text.data() + got, length - got);
    if (n == 0) {
      ended_ = true;
      return {};
    }
    got += n;
  }
  return {Incoming::Kind::message, std::move(text)};
}

Incoming MessageReader::next() {
  for (;;) {
    if (skipping_) {
      if (!resynchronise()) return {};
      skipping_ = false;
    }
    std::size_t header_size = 0;  // known once the blank line that ends it was read
    bool bad = false;
    const std::size_t length = header(header_size, bad);
    if (bad) {
      // A whole header that begins with the mark but says no valid length goes whole; any
      // other bytes only up to the next mark, which may stand inside them (a body shorter
      // than its length ran into the next header). At least one byte goes, so that the same
      // bytes are not read again.
      const bool marked = same_letters(std::string_view(buffer_).substr(at_, kMark.size()), kMark);
      at_ += marked && header_size > 0 ? header_size : 1;
      skipping_ = true;
      return {Incoming::Kind::skipped, {}};
    }
    if (length == std::string::npos) {
      if (!fill()) return {};
      continue;
    }
    at_ += header_size;
    return body(length);
  }
}

std::string framed(std::string_view body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out += body;
  return out;
}

}  // namespace orven::lsp

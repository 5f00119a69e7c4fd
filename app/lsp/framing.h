// The base protocol of the language server: each message is a header ("Content-Length: N",
// perhaps a Content-Type, each line ended by CR LF) and a blank line, then N bytes of JSON.
// The reader owns the bytes between messages: it hands out whole bodies, skips what is not
// a message up to the next Content-Length header, and skips a body over the limit unread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace orven::lsp {

// No body longer than this is held: a longer one is refused and its bytes skipped.
inline constexpr std::size_t kMessageLimit = std::size_t{64} << 20;
// Of a body over the limit, the first bytes are kept, so that the server can still tell
// which request it was and which document it spoke of.
inline constexpr std::size_t kRefusedPrefix = std::size_t{64} << 10;
// A header longer than this is no header: the reader skips it.
inline constexpr std::size_t kHeaderLimit = 8192;

struct Incoming {
  enum class Kind {
    message,    // body: the whole body
    too_large,  // body: its first kRefusedPrefix bytes; the rest was skipped
    skipped,    // bytes that were not a message were skipped (body empty)
    end,        // the stream ended (a message cut short by the end is dropped)
  };
  Kind kind = Kind::end;
  std::string body;
};

class MessageReader {
 public:
  // read(buffer, size) gives up to size bytes, 0 only at the end of the stream.
  using Source = std::function<std::size_t(char* buffer, std::size_t size)>;
  explicit MessageReader(Source source, std::size_t limit = kMessageLimit);

  // The next message, or what was skipped on the way to it (said once per stretch), or the
  // end.
  Incoming next();

 private:
  // Reads more bytes behind the unread ones; false at the end of the stream.
  bool fill();
  // The length a complete header at the unread bytes gives: npos while more bytes are
  // needed, and `bad` set when they are not a valid header.
  std::size_t header(std::size_t& header_size, bool& bad) const;
  // Drops bytes up to the next "Content-Length:" (any case); false at the end of the stream.
  bool resynchronise();
  Incoming body(std::size_t length);

  Source source_;
  std::size_t limit_;
  std::string buffer_;  // bytes read and not yet handed out, from at_
  std::size_t at_ = 0;
  bool ended_ = false;
  bool skipping_ = false;  // after bad bytes: up to the next mark first
};

// A body with its header, ready to write.
std::string framed(std::string_view body);

}  // namespace orven::lsp

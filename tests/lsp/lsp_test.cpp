// The language server in the same process: the framing of messages, positions in UTF-16
// and UTF-8 over edits (against a plain UTF-16 model), the marker edit's comment forms, and
// the server's protocol (lifecycle, errors, documents, coalescing, ignore rules, hover and
// the code action) driven message by message. The scan behind the diagnostics is faked
// where a test is about the protocol, so that it holds whatever code matching counts.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>

#include "app/lsp/framing.h"
#include "app/lsp/marker_edit.h"
#include "app/lsp/server.h"
#include "app/lsp/text_document.h"
#include "base/platform.h"
#include "tests/app/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace orven::lsp {
namespace {

using nlohmann::json;

// --- Framing --------------------------------------------------------------------------

// A source over fixed bytes that gives at most `step` bytes a read.
MessageReader::Source bytes_source(std::string bytes, std::size_t step) {
  auto data = std::make_shared<std::string>(std::move(bytes));
  auto at = std::make_shared<std::size_t>(0);
  return [=](char* buffer, std::size_t size) {
    const std::size_t n = std::min({size, step, data->size() - *at});
    std::copy_n(data->data() + *at, n, buffer);
    *at += n;
    return n;
  };
}

// What the reader makes of the bytes: "m:BODY", "large:PREFIX-SIZE", "skipped", to the end.
std::vector<std::string> read_all(std::string bytes, std::size_t step = 1 << 20,
                                  std::size_t limit = kMessageLimit) {
  MessageReader reader(bytes_source(std::move(bytes), step), limit);
  std::vector<std::string> out;
  for (;;) {
    Incoming in = reader.next();
    switch (in.kind) {
      case Incoming::Kind::message:
        out.push_back("m:" + in.body);
        break;
      case Incoming::Kind::too_large:
        out.push_back("large:" + std::to_string(in.body.size()));
        break;
      case Incoming::Kind::skipped:
        out.push_back("skipped");
        break;
      case Incoming::Kind::end:
        return out;
    }
  }
}

TEST(LspFraming, MessagesComeWholeHoweverTheBytesArrive) {
  const std::string bytes = framed(R"({"a":1})") +
                            "content-length:  10\r\nContent-Type: application/vscode-jsonrpc; "
                            "charset=utf-8\r\n\r\n{\"b\":\"é\"}" +
                            "Content-Length: 0\r\n\r\n" + framed("[]");
  const std::vector<std::string> expected{"m:{\"a\":1}", "m:{\"b\":\"é\"}", "m:", "m:[]"};
  for (const std::size_t step : {1, 2, 3, 7, 64, 1 << 20}) {
    EXPECT_EQ(read_all(bytes, step), expected) << "step " << step;
  }
}

TEST(LspFraming, BadHeadersAreSkippedAndTheNextMessageFound) {
  const std::string next = framed(R"({"next":true})");
  const std::string want = "m:{\"next\":true}";
  // A header without a length, with one that is not a number, negative, overflowing, two
  // that disagree, a line without a colon, and junk with no line end at all.
  for (const std::string& bad :
       {std::string("Content-Type: x\r\n\r\n{}"), std::string("Content-Length: ten\r\n\r\n"),
        std::string("Content-Length: -5\r\n\r\n"),
        std::string("Content-Length: 99999999999999999999999\r\n\r\n"),
        std::string("Content-Length: 2\r\nContent-Length: 3\r\n\r\n{}"),
        std::string("garbage\r\n\r\n"), std::string(3 * kHeaderLimit, 'x')}) {
    for (const std::size_t step : {1, 5, 1 << 20}) {
      const auto got = read_all(bad + next, step);
      ASSERT_FALSE(got.empty());
      EXPECT_EQ(got.front(), "skipped") << bad.substr(0, 40);
      EXPECT_EQ(got.back(), want) << bad.substr(0, 40);
    }
  }
  // Lines may end with LF alone.
  EXPECT_EQ(read_all("Content-Length: 2\n\n{}"), std::vector<std::string>{"m:{}"});
}

TEST(LspFraming, AWrongLengthCostsOnlyItsOwnMessage) {
  // Too short: the rest of the body runs into the next header, which is found again.
  const auto short_one = read_all("Content-Length: 5\r\n\r\n{\"a\":12345}" + framed("{}"));
  EXPECT_EQ(short_one.front(), "m:{\"a\":");
  EXPECT_EQ(short_one.back(), "m:{}");
  // Too long: the body takes the next message's bytes; the one after is whole again.
  const auto long_one =
      read_all("Content-Length: 30\r\n\r\n{}" + framed("{\"x\":1}") + framed("{\"y\":2}"));
  EXPECT_EQ(long_one.back(), "m:{\"y\":2}");
  // Cut short by the end of the stream: nothing but the end.
  EXPECT_TRUE(read_all("Content-Length: 10\r\n\r\n{}").empty());
  EXPECT_TRUE(read_all("Content-Len").empty());
}

TEST(LspFraming, ABodyOverTheLimitIsSkippedUnread) {
  // 200 MiB over the real limit, made as it is read: the reader keeps only the prefix.
  const std::size_t huge = std::size_t{200} << 20;
  const std::string head = "Content-Length: " + std::to_string(huge) + "\r\n\r\n";
  const std::string tail = framed(R"({"after":1})");
  std::size_t at = 0;
  MessageReader reader([&](char* buffer, std::size_t size) {
    const std::size_t total = head.size() + huge + tail.size();
    const std::size_t n = std::min(size, total - at);
    for (std::size_t i = 0; i < n; ++i, ++at) {
      buffer[i] = at < head.size()          ? head[at]
                  : at < head.size() + huge ? 'x'
                                            : tail[at - head.size() - huge];
    }
    return n;
  });
  const Incoming refused = reader.next();
  EXPECT_EQ(refused.kind, Incoming::Kind::too_large);
  EXPECT_EQ(refused.body, std::string(kRefusedPrefix, 'x'));
  EXPECT_EQ(reader.next().body, R"({"after":1})");
  // A small one under a small limit.
  EXPECT_EQ(read_all(framed(std::string(100, 'y')) + framed("{}"), 7, 50),
            (std::vector<std::string>{"large:100", "m:{}"}));
}

// --- Positions ------------------------------------------------------------------------

// The model: the text as UTF-16 lines, as a client that counts UTF-16 units sees it.
std::u16string utf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]); };
    char32_t c = b(0);
    std::size_t n = 1;
    if (c >= 0xF0) {
      c = ((c & 7) << 18) | ((b(1) & 63) << 12) | ((b(2) & 63) << 6) | (b(3) & 63), n = 4;
    } else if (c >= 0xE0) {
      c = ((c & 15) << 12) | ((b(1) & 63) << 6) | (b(2) & 63), n = 3;
    } else if (c >= 0xC0) {
      c = ((c & 31) << 6) | (b(1) & 63), n = 2;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += n;
  }
  return out;
}

// The UTF-16 offset of a position in the model, lines split as the protocol splits them.
std::size_t model_offset(const std::u16string& text, Position p) {
  std::size_t at = 0;
  for (std::uint64_t line = 0; line < p.line; ++line) {
    while (at < text.size() && text[at] != u'\n' && text[at] != u'\r') ++at;
    if (at == text.size()) return at;
    at += text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
  }
  std::size_t end = at;
  while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
  return std::min<std::size_t>(at + p.character, end);
}

TEST(LspText, PositionsCountUtf16UnitsOrBytes) {
  // "я" 2 bytes 1 unit, "中" 3 bytes 1 unit, "😀" 4 bytes 2 units; CR LF, CR and LF lines.
  const Text text("a\r\nяb\r中😀c\nlast");
  EXPECT_EQ(text.line_count(), 4u);
  EXPECT_EQ(text.offset_of({1, 1}, Encoding::utf16), 5u);   // "b"
  EXPECT_EQ(text.offset_of({1, 2}, Encoding::utf16), 6u);   // the line's end, before CR
  EXPECT_EQ(text.offset_of({1, 9}, Encoding::utf16), 6u);   // past it: the same
  EXPECT_EQ(text.offset_of({2, 3}, Encoding::utf16), 14u);  // "c", after two units of 😀
  EXPECT_EQ(text.offset_of({2, 2}, Encoding::utf16), 10u);  // inside 😀: its start
  EXPECT_EQ(text.offset_of({2, 7}, Encoding::utf8), 14u);   // bytes
  EXPECT_EQ(text.offset_of({2, 2}, Encoding::utf8), 7u);    // inside 中: its start
  EXPECT_EQ(text.offset_of({9, 0}, Encoding::utf16), text.bytes().size());
  EXPECT_EQ(text.position_of(14, Encoding::utf16).character, 3u);
  EXPECT_EQ(text.position_of(14, Encoding::utf8).character, 7u);
  EXPECT_EQ(text.position_of(text.bytes().size(), Encoding::utf16).line, 3u);
  EXPECT_EQ(text.line_end(0), 1u);
  EXPECT_EQ(text.line_end(1), 6u);
  EXPECT_EQ(text.line_of(3), 1u);
  // Bytes that are not UTF-8 count one unit each.
  EXPECT_EQ(Text("\xff\xfe"
                 "x")
                .offset_of({0, 2}, Encoding::utf16),
            2u);
}

TEST(LspText, LinesAreFoundAcrossTheIndexsBlocks) {
  // Long texts, a CR LF split by a block's edge among them, against lines counted plainly.
  std::mt19937 random(1024);
  const std::vector<std::string> pieces{"\r\n", "\r", "\n", "ab", "я", "\r\r\n\n"};
  for (int round = 0; round < 8; ++round) {
    std::string bytes(1023, 'x');
    bytes += "\r\n";
    while (bytes.size() < 9000) bytes += pieces[random() % (round % 3 == 0 ? 1 : pieces.size())];
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n' ||
          (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) {
        starts.push_back(i + 1);
      }
    }
    const Text text(bytes);
    ASSERT_EQ(text.line_count(), starts.size());
    for (std::size_t line = 0; line < starts.size(); ++line) {
      ASSERT_EQ(text.line_start(line), starts[line]) << "round " << round << " line " << line;
    }
    for (std::size_t off = 0; off <= bytes.size(); ++off) {
      const auto line = std::upper_bound(starts.begin(), starts.end(), off) - starts.begin() - 1;
      ASSERT_EQ(text.line_of(off), static_cast<std::uint64_t>(line)) << "offset " << off;
    }
  }
}

TEST(LspText, RandomEditsAgreeWithAUtf16Model) {
  const std::vector<std::string> pieces{"a", "я", "中", "😀", "\n", "\r\n", "\r", " ", "x\ny"};
  std::mt19937 random(28);
  const auto some_text = [&](int most) {
    std::string s;
    for (int n = static_cast<int>(random() % most); n > 0; --n)
      s += pieces[random() % pieces.size()];
    return s;
  };
  for (int round = 0; round < 300; ++round) {
    const Encoding encoding = round % 2 ? Encoding::utf16 : Encoding::utf8;
    Text text(some_text(30));
    std::u16string model = utf16(text.bytes());
    for (int edit = 0; edit < 5; ++edit) {
      const Position a{random() % 6, random() % 6};
      const Position b{random() % 6, random() % 6};
      TextChange change{Range{a, b}, some_text(5)};
      const std::string before = text.bytes();
      text = changed(text, std::span(&change, 1), encoding);
      if (encoding == Encoding::utf16) {
        std::size_t from = model_offset(model, a);
        std::size_t to = model_offset(model, b);
        // A position inside a surrogate pair means the pair's start.
        for (std::size_t* p : {&from, &to}) {
          if (*p > 0 && *p < model.size() && model[*p] >= 0xDC00 && model[*p] < 0xE000) --*p;
        }
        if (to < from) std::swap(from, to);
        model.replace(from, to - from, utf16(change.text));
        ASSERT_EQ(utf16(text.bytes()), model) << "round " << round << " edit " << edit;
      }
      // Every offset that starts a character comes back from its position, and all of them
      // walked in one pass land where each one alone does.
      std::vector<std::size_t> offsets;
      for (std::size_t off = 0; off <= text.bytes().size(); ++off) offsets.push_back(off);
      const std::vector<Position> walked = text.positions_of(offsets, encoding);
      for (std::size_t off = 0; off <= text.bytes().size(); ++off) {
        const Position alone = text.position_of(off, encoding);
        ASSERT_EQ(walked[off].line, alone.line) << "offset " << off << " in " << text.bytes();
        ASSERT_EQ(walked[off].character, alone.character) << "offset " << off;
        if (off < text.bytes().size() &&
            (static_cast<unsigned char>(text.bytes()[off]) & 0xC0) == 0x80) {
          continue;
        }
        if (off > 0 && off < text.bytes().size() && text.bytes()[off - 1] == '\r' &&
            text.bytes()[off] == '\n') {
          continue;  // between CR and LF is no place of its own
        }
        ASSERT_EQ(text.offset_of(text.position_of(off, encoding), encoding), off)
            << "round " << round << " offset " << off << " in " << before;
      }
    }
    model = utf16(text.bytes());
  }
}

TEST(LspText, ChangesApplyInOrderAndAWholeTextResetsThem) {
  const Text start("one\ntwo\n");
  std::vector<TextChange> changes{
      {Range{{0, 0}, {0, 3}}, "1"},    // "1\ntwo\n"
      {Range{{1, 3}, {1, 0}}, "2"},    // reversed range: "1\n2\n"
      {Range{{1, 1}, {1, 1}}, "\r"},   // the CR and the LF after it make one line break
      {Range{{2, 0}, {2, 0}}, "end"},  // so line 2 is the empty one after them
  };
  const Text after = changed(start, changes, Encoding::utf16);
  EXPECT_EQ(after.bytes(), "1\n2\r\nend");
  EXPECT_EQ(after.line_count(), 3u);
  changes.insert(changes.begin() + 2, TextChange{std::nullopt, "fresh\n"});
  // After it, "fresh\n": the CR goes to the end of its empty line 1, and makes a line 2.
  EXPECT_EQ(changed(start, changes, Encoding::utf16).bytes(), "fresh\n\rend");
}

// --- The marker edit ------------------------------------------------------------------

// The text with the marker for `id` put on the line that holds `mark`, or "none".
std::string with_marker(std::string text, Language language, std::string_view mark,
                        std::string_view id) {
  const Text t(text);
  const std::uint64_t line = t.line_of(text.find(mark));
  const auto insertion =
      disable_line_insertion(text, t.line_start(line), t.line_end(line), language, id);
  if (!insertion) return "none";
  text.insert(insertion->offset, insertion->text);
  return text;
}

TEST(LspMarkerEdit, TheCommentFormOfTheLanguageAtThatPlace) {
  const auto c = Language::c;
  const auto php = Language::php;
  const auto html = Language::html;
  const auto js = Language::javascript;
  struct Case {
    Language language;
    std::string text;
    std::string mark;
    std::string id;
    std::string expected;
  };
  const Case cases[] = {
      {c, "int x = itoa(1);  \nnext\n", "itoa", "C40",
       "int x = itoa(1); // orven-disable-line C40  \nnext\n"},
      {c, "a = itoa(1);\r\n", "itoa", "C40", "a = itoa(1); // orven-disable-line C40\r\n"},
      // A macro's continuation stays last on its line.
      {c, "#define X itoa(1) \\\n  + 1\n", "itoa", "C40",
       "#define X itoa(1) /* orven-disable-line C40 */ \\\n  + 1\n"},
      // Open at the line's end: a block comment takes "//", a raw string or a string
      // continued by a backslash nothing.
      {c, "/* itoa\n*/", "itoa", "C40", "/* itoa // orven-disable-line C40\n*/"},
      {c, "s = R\"x(itoa\n)x\";", "itoa", "C40", "none"},
      {c, "s = R\"x()x\"; t = 1'000; itoa(1);\n", "itoa", "C40",
       "s = R\"x()x\"; t = 1'000; itoa(1); // orven-disable-line C40\n"},
      {c, "s = \"itoa \\\n\";", "itoa", "C40", "none"},
      {js, "let s = `${a}\nx`; eval(\n", "eval", "W20",
       "let s = `${a}\nx`; eval( // orven-disable-line W20\n"},
      {js, "let s = `itoa ${ {a: 1}.a }\n`;", "itoa", "C40", "none"},
      {js, "let r = /'/; eval(1);\n", "eval", "W20",
       "let r = /'/; eval(1); // orven-disable-line W20\n"},
      {php, "<?php\n$x = $_GET['a'];\n", "$_GET", "W06",
       "<?php\n$x = $_GET['a']; # orven-disable-line W06\n"},
      // A block that closes on the line takes the marker before its end.
      {php, "<p><?php echo $_GET['a']; ?>  \n", "$_GET", "W06",
       "<p><?php echo $_GET['a']; # orven-disable-line W06 ?>  \n"},
      {php, "<?php $a = 1; ?>\n<form>\n", "<form", "W23",
       "<?php $a = 1; ?>\n<form> <!-- orven-disable-line W23 -->\n"},
      {php, "<?php $s = \"mail\n\";", "mail", "C40", "none"},
      {php, "<?php $s = <<<EOT\nmail\nEOT;\n", "mail", "C40", "none"},
      {php, "<?php $s = <<<EOT\nx\n  EOT;\nmail();\n", "mail();", "W21",
       "<?php $s = <<<EOT\nx\n  EOT;\nmail(); # orven-disable-line W21\n"},
      {php, "<?php /* a ?> b\nmail(); */\n", "mail", "W21",
       "<?php /* a ?> b\nmail(); */ # orven-disable-line W21\n"},
      {html, "<div\n  onclick=\"mail()\"\n>", "mail", "C40", "none"},
      {html, "<!-- form\n-->", "form", "W23", "<!-- form orven-disable-line W23\n-->"},
      {html, "<script>\neval(1);\n</script>", "eval", "W20",
       "<script>\neval(1); // orven-disable-line W20\n</script>"},
      {html, "<style>\na { x: 1 } /* form\n*/</style>", "form", "W23",
       "<style>\na { x: 1 } /* form orven-disable-line W23\n*/</style>"},
      {html, "<style>form { }\n</style>", "form", "W23",
       "<style>form { } /* orven-disable-line W23 */\n</style>"},
      {html, "<script>var s = '</script>'; eval(1);\n", "eval", "W20",
       "<script>var s = '</script>'; eval(1); <!-- orven-disable-line W20 -->\n"},
      // A marker already on the line takes the id; one that names it (or all) is left.
      {c, "itoa(1); // orven-disable-line C01\n", "itoa", "C40",
       "itoa(1); // orven-disable-line C01,C40\n"},
      {c, "itoa(1); // orven-disable-line C40\n", "itoa", "C40", "none"},
      {c, "itoa(1); // orven-disable-line all\n", "itoa", "C40", "none"},
      {Language::none, "itoa(1);\n", "itoa", "C40", "none"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(with_marker(k.text, k.language, k.mark, k.id), k.expected) << k.text;
  }
}

// --- The server -----------------------------------------------------------------------

// A client in the same process: what it sends goes straight to receive(), what the server
// writes is parsed back (and its framing checked).
class Client {
 public:
  explicit Client(ServerHooks hooks = {}) {
    hooks.write = [this](std::string_view whole) {
      const std::size_t blank = whole.find("\r\n\r\n");
      EXPECT_EQ(whole.substr(0, 16), "Content-Length: ");
      const std::string body(whole.substr(blank + 4));
      EXPECT_EQ(std::stoul(std::string(whole.substr(16, blank - 16))), body.size());
      std::lock_guard lock(mutex_);
      out_.push_back(json::parse(body));
      return true;
    };
    hooks.note = [this](std::string_view line) {
      std::lock_guard lock(mutex_);
      notes_.emplace_back(line);
    };
    server_ = std::make_unique<Server>(std::move(hooks));
  }

  void raw(std::string body) { server_->receive({Incoming::Kind::message, std::move(body)}); }
  void send(const json& message) { raw(message.dump()); }
  void notify(const std::string& method, const json& params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
  }
  // A request's response (the messages before it stay for taken()).
  json request(const std::string& method, const json& params) {
    const int id = ++id_;
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    std::lock_guard lock(mutex_);
    for (auto m = out_.begin(); m != out_.end(); ++m) {
      if (m->contains("id") && (*m)["id"] == id) {
        json found = *m;
        out_.erase(m);
        return found;
      }
    }
    ADD_FAILURE() << "no response to " << method;
    return {};
  }
  json initialize(json capabilities = json::object()) {
    json r = request("initialize", {{"processId", nullptr}, {"capabilities", capabilities}});
    notify("initialized", json::object());
    return r;
  }
  void open(const std::string& uri, const std::string& text, int version = 1,
            const std::string& language = "") {
    notify("textDocument/didOpen",
           {{"textDocument",
             {{"uri", uri}, {"languageId", language}, {"version", version}, {"text", text}}}});
  }
  void change(const std::string& uri, int version, const json& changes) {
    notify("textDocument/didChange",
           {{"textDocument", {{"uri", uri}, {"version", version}}}, {"contentChanges", changes}});
  }
  // Everything written since the last call, once the worker is idle.
  std::vector<json> taken() {
    server_->settle();
    std::lock_guard lock(mutex_);
    return std::exchange(out_, {});
  }
  // The diagnostics published for one document since the last call (others' stay).
  std::vector<json> published(const std::string& uri) {
    server_->settle();
    std::lock_guard lock(mutex_);
    std::vector<json> out;
    std::erase_if(out_, [&](json& m) {
      if (m.value("method", "") != "textDocument/publishDiagnostics" || m["params"]["uri"] != uri) {
        return false;
      }
      out.push_back(std::move(m["params"]));
      return true;
    });
    return out;
  }
  // The last diagnostics published for one document (a failure when there are none).
  json diagnostics(const std::string& uri) {
    const std::vector<json> all = published(uri);
    if (all.empty()) {
      ADD_FAILURE() << "nothing published for " << uri;
      return json::array();
    }
    return all.back()["diagnostics"];
  }
  Server& server() { return *server_; }
  std::vector<std::string> notes() {
    std::lock_guard lock(mutex_);
    return notes_;
  }

 private:
  std::mutex mutex_;
  std::vector<json> out_;
  std::vector<std::string> notes_;
  int id_ = 0;
  std::unique_ptr<Server> server_;
};

// A scan that finds every "KEY" as rule W01 and "BEEP" as C30, whatever the language.
std::vector<DocumentHit> key_scan(std::string_view text, const std::filesystem::path&) {
  std::vector<DocumentHit> hits;
  for (const auto& [word, id] : {std::pair{"KEY", "W01"}, std::pair{"BEEP", "C30"}}) {
    for (std::size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + 1)) {
      hits.push_back({id, at, at + std::strlen(word)});
    }
  }
  std::sort(hits.begin(), hits.end(), [](auto& a, auto& b) { return a.begin < b.begin; });
  return hits;
}

ServerHooks fake_hooks() {
  ServerHooks hooks;
  hooks.scan = key_scan;
  hooks.ignored = [](const std::filesystem::path&) { return false; };
  return hooks;
}

int error_code(const json& response) {
  return response.contains("error") ? response["error"]["code"].get<int>() : 0;
}

json range(int l1, int c1, int l2, int c2) {
  return {{"start", {{"line", l1}, {"character", c1}}}, {"end", {{"line", l2}, {"character", c2}}}};
}

TEST(LspServer, LifecycleAndExitStatus) {
  Client client(fake_hooks());
  // Before initialize: requests fail with ServerNotInitialized, notifications are dropped.
  EXPECT_EQ(error_code(client.request("textDocument/hover", json::object())), -32002);
  client.open("file:///a.php", "KEY");
  const json init = client.initialize();
  const json& caps = init["result"]["capabilities"];
  EXPECT_EQ(caps["positionEncoding"], "utf-16");
  EXPECT_EQ(caps["textDocumentSync"]["change"], 2);
  EXPECT_EQ(caps["textDocumentSync"]["openClose"], true);
  EXPECT_EQ(caps["hoverProvider"], true);
  EXPECT_EQ(caps["codeActionProvider"]["codeActionKinds"], json({"quickfix"}));
  EXPECT_EQ(init["result"]["serverInfo"]["name"], "orven");
  EXPECT_TRUE(client.published("file:///a.php").empty());  // the early didOpen was dropped
  EXPECT_EQ(error_code(client.request("initialize", {{"capabilities", json::object()}})), -32600);
  EXPECT_TRUE(client.request("shutdown", nullptr)["result"].is_null());
  EXPECT_EQ(error_code(client.request("textDocument/hover", json::object())), -32600);
  EXPECT_FALSE(client.server().exited());
  client.notify("exit", nullptr);
  EXPECT_TRUE(client.server().exited());
  EXPECT_EQ(client.server().exit_status(), 0);

  Client abrupt(fake_hooks());
  abrupt.initialize();
  abrupt.notify("exit", nullptr);
  EXPECT_EQ(abrupt.server().exit_status(), 1);
}

TEST(LspServer, PositionEncodingIsNegotiated) {
  const std::string text = "😀я KEY";
  for (const auto& [offered, encoding, character] :
       {std::tuple{json({"utf-16", "utf-8"}), "utf-8", 7},
        std::tuple{json({"utf-32"}), "utf-16", 4}, std::tuple{json(nullptr), "utf-16", 4}}) {
    Client client(fake_hooks());
    json capabilities = json::object();
    if (!offered.is_null()) capabilities["general"]["positionEncodings"] = offered;
    EXPECT_EQ(client.initialize(capabilities)["result"]["capabilities"]["positionEncoding"],
              encoding);
    client.open("file:///a.php", text);
    const auto published = client.published("file:///a.php");
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0]["diagnostics"][0]["range"], range(0, character, 0, character + 3));
    // Hover and the code action read positions the same way.
    const json hover = client.request("textDocument/hover",
                                      {{"textDocument", {{"uri", "file:///a.php"}}},
                                       {"position", {{"line", 0}, {"character", character + 1}}}});
    EXPECT_EQ(hover["result"]["range"], range(0, character, 0, character + 3));
  }
}

TEST(LspServer, BadMessagesGetTheProtocolsErrorsAndTheServerGoesOn) {
  Client client(fake_hooks());
  client.initialize();
  const auto last_error = [&](const std::string& body) {
    client.raw(body);
    const auto out = client.taken();
    return out.empty() ? json() : out.back();
  };
  const json parse_error = last_error("{\"jsonrpc\": \"2.0\", \"id\": 1, \"method\": ");
  EXPECT_EQ(error_code(parse_error), -32700);
  EXPECT_TRUE(parse_error["id"].is_null());
  EXPECT_EQ(error_code(last_error("\"\xff\"")), -32700);  // not UTF-8
  EXPECT_EQ(error_code(last_error("[1, 2]")), -32600);
  EXPECT_EQ(error_code(last_error(R"({"jsonrpc":"2.0","id":{"a":1},"method":"shutdown"})")),
            -32600);
  const json no_method = last_error(R"({"jsonrpc":"2.0","id":"x"})");
  EXPECT_EQ(error_code(no_method), -32600);
  EXPECT_EQ(no_method["id"], "x");
  EXPECT_EQ(error_code(last_error(R"({"jsonrpc":"2.0","id":7,"method":42})")), -32600);
  const json unknown = client.request("workspace/symbol", json::object());
  EXPECT_EQ(error_code(unknown), -32601);
  EXPECT_NE(unknown["error"]["message"].get<std::string>().find("workspace/symbol"),
            std::string::npos);
  EXPECT_EQ(error_code(client.request("$/unknown", json::object())), -32601);
  EXPECT_EQ(error_code(client.request("textDocument/hover", {{"textDocument", 5}})), -32602);
  EXPECT_EQ(error_code(client.request("textDocument/codeAction", json::array())), -32602);
  // Responses, unknown notifications, and notifications that cannot be applied or name an
  // unknown document: nothing comes back.
  EXPECT_TRUE(last_error(R"({"jsonrpc":"2.0","id":3,"result":null})").is_null());
  client.notify("$/cancelRequest", {{"id", 1}});
  client.notify("workspace/didChangeConfiguration", json::object());
  client.notify("textDocument/didChange", {{"textDocument", {{"uri", "file:///none.php"}}}});
  client.notify("textDocument/didOpen", {{"textDocument", {{"uri", 5}}}});
  client.notify("textDocument/didClose", {{"textDocument", {{"uri", "file:///none.php"}}}});
  EXPECT_TRUE(client.taken().empty());
  EXPECT_FALSE(client.notes().empty());
  // A change that cannot be read leaves the document as it was.
  client.open("file:///a.php", "KEY");
  client.taken();
  client.change("file:///a.php", 2, json::array({{{"range", "nowhere"}, {"text", "x"}}}));
  EXPECT_TRUE(client.taken().empty());
  // Skipped bytes are noted, and the server still answers.
  client.server().receive({Incoming::Kind::skipped, {}});
  EXPECT_TRUE(client.request("shutdown", nullptr).contains("result"));
}

TEST(LspServer, AMessageOverTheLimitIsRefused) {
  Client client(fake_hooks());
  client.initialize();
  client.open("file:///a.php", "KEY");
  EXPECT_EQ(client.diagnostics("file:///a.php").size(), 1u);
  // A request: its error, by the id that came before the cut.
  client.server().receive(
      {Incoming::Kind::too_large,
       R"({"jsonrpc":"2.0","id":41,"method":"textDocument/hover","params":{"te)"});
  const auto out = client.taken();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0]["id"], 41);
  EXPECT_EQ(error_code(out[0]), -32600);
  // A change the server never saw: it forgets the document, and its diagnostics.
  client.server().receive(
      {Incoming::Kind::too_large,
       R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"file:///a.php","version":2},"contentChanges":[{"text":"xxxx)"});
  const auto cleared = client.published("file:///a.php");
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_TRUE(cleared[0]["diagnostics"].empty());
  client.change("file:///a.php", 3, json::array({{{"text", "KEY"}}}));
  EXPECT_TRUE(client.published("file:///a.php").empty());
}

TEST(LspServer, DiagnosticsFollowTheTextAndCloseClearsThem) {
  Client client(fake_hooks());
  client.initialize();
  const std::string uri = "file:///src/a.php";
  client.open(uri, "x\nKEY y\n", 1);
  auto p = client.published(uri);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0]["version"], 1);
  const json& d = p[0]["diagnostics"][0];
  EXPECT_EQ(d["code"], "W01");
  EXPECT_EQ(d["source"], "orven");
  EXPECT_EQ(d["severity"], 3);
  EXPECT_EQ(d["range"], range(1, 0, 1, 3));
  EXPECT_FALSE(d["message"].get<std::string>().empty());
  // An edit before it moves it; one that takes it away leaves none.
  client.change(uri, 2, json::array({{{"range", range(1, 0, 1, 0)}, {"text", "  "}}}));
  p = client.published(uri);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0]["version"], 2);
  EXPECT_EQ(p[0]["diagnostics"][0]["range"], range(1, 2, 1, 5));
  client.change(uri, 3, json::array({{{"range", range(1, 3, 1, 4)}, {"text", ""}}}));
  EXPECT_TRUE(client.diagnostics(uri).empty());
  client.change(uri, 4, json::array({{{"text", "BEEP KEY"}}}));  // the whole text
  EXPECT_EQ(client.diagnostics(uri).size(), 2u);
  client.notify("textDocument/didClose", {{"textDocument", {{"uri", uri}}}});
  p = client.published(uri);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_TRUE(p[0]["diagnostics"].empty());
  EXPECT_FALSE(p[0].contains("version"));
  // A document of no language the advice covers gets none; an unsaved one is known by its
  // languageId.
  client.open("file:///notes.txt", "KEY", 1, "plaintext");
  client.open("untitled:Untitled-1", "KEY", 1, "php");
  EXPECT_TRUE(client.published("file:///notes.txt").empty());
  EXPECT_EQ(client.published("untitled:Untitled-1").size(), 1u);
}

TEST(LspServer, UrisNameTheFilesTheIgnoreRulesAreAskedAbout) {
  auto asked = std::make_shared<std::vector<std::filesystem::path>>();
  ServerHooks hooks = fake_hooks();
  hooks.ignored = [asked](const std::filesystem::path& file) {
    asked->push_back(file);
    return false;
  };
  Client client(std::move(hooks));
  client.initialize();
#ifdef _WIN32
  // VS Code writes the drive's colon escaped.
  client.open("file:///c%3A/w/%D0%BF%20x.php", "KEY");
  const std::filesystem::path expected = std::filesystem::path(u8"c:/w/п x.php");
#else
  client.open("file:///w/%D0%BF%20x.php", "KEY");
  const std::filesystem::path expected = std::filesystem::path(u8"/w/п x.php");
#endif
  // A broken escape, another host, another scheme: no file to ask about, the language still
  // known by the name's ending.
  client.open("file:///w/bad%G0.php", "KEY");
  client.open("file://elsewhere/w/a.php", "KEY");
  client.open("vscode-notebook-cell:/w/b.js", "KEY");
  client.taken();
  ASSERT_FALSE(asked->empty());
  EXPECT_EQ(asked->front(), expected);
#ifndef _WIN32
  EXPECT_EQ(asked->size(), 1u);
#endif
  for (const char* uri : {"file:///w/bad%G0.php", "vscode-notebook-cell:/w/b.js"}) {
    const json hover = client.request(
        "textDocument/hover",
        {{"textDocument", {{"uri", uri}}}, {"position", {{"line", 0}, {"character", 1}}}});
    EXPECT_FALSE(hover["result"].is_null()) << uri;
  }
}

TEST(LspServer, AtMostAThousandDiagnosticsADocument) {
  ServerHooks hooks = fake_hooks();
  hooks.scan = [](std::string_view, const std::filesystem::path&) {
    return std::vector<DocumentHit>(5000, DocumentHit{"W01", 0, 1});
  };
  Client client(std::move(hooks));
  client.initialize();
  client.open("file:///a.c", "x");
  EXPECT_EQ(client.diagnostics("file:///a.c").size(), kDiagnosticsLimit);
}

// A scan that waits at a gate, so a test can pile changes up behind it.
struct GatedScan {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  int calls = 0;
  std::vector<std::string> texts;
  std::vector<DocumentHit> operator()(std::string_view text, const std::filesystem::path& name) {
    std::unique_lock lock(mutex);
    ++calls;
    texts.emplace_back(text);
    cv.notify_all();
    cv.wait(lock, [&] { return open; });
    return key_scan(text, name);
  }
  void wait_for_calls(int n) {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return calls >= n; });
  }
  void release() {
    std::lock_guard lock(mutex);
    open = true;
    cv.notify_all();
  }
};

TEST(LspServer, BurstsAreCoalescedAndStaleResultsNeverSent) {
  auto gate = std::make_shared<GatedScan>();
  ServerHooks hooks = fake_hooks();
  hooks.scan = [gate](std::string_view t, const std::filesystem::path& n) { return (*gate)(t, n); };
  Client client(std::move(hooks));
  client.initialize();
  client.open("file:///a.php", "KEY", 1);
  gate->wait_for_calls(1);  // the worker holds version 1
  for (int v = 2; v <= 50; ++v) {
    client.change("file:///a.php", v, json::array({{{"range", range(0, 0, 0, 0)}, {"text", "x"}}}));
  }
  gate->release();
  const auto p = client.published("file:///a.php");
  // Version 1's result came after the text had changed: never sent. Then one scan of the
  // last text.
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0]["version"], 50);
  EXPECT_EQ(p[0]["diagnostics"][0]["range"], range(0, 49, 0, 52));
  EXPECT_EQ(gate->calls, 2);
  EXPECT_EQ(gate->texts.back(), std::string(49, 'x') + "KEY");

  // A document closed while its scan runs gets only the empty list.
  auto gate2 = std::make_shared<GatedScan>();
  ServerHooks hooks2 = fake_hooks();
  hooks2.scan = [gate2](std::string_view t, const std::filesystem::path& n) {
    return (*gate2)(t, n);
  };
  Client closing(std::move(hooks2));
  closing.initialize();
  closing.open("file:///b.php", "KEY");
  gate2->wait_for_calls(1);
  closing.notify("textDocument/didClose", {{"textDocument", {{"uri", "file:///b.php"}}}});
  gate2->release();
  const auto q = closing.published("file:///b.php");
  ASSERT_EQ(q.size(), 1u);
  EXPECT_TRUE(q[0]["diagnostics"].empty());
}

TEST(LspServer, DocumentsTheWalkLeavesOutGetNone) {
  // The real ignore rules: a .ignore beside the files.
  testing::TempCurrentFolder folder;
  std::ofstream(folder.path() / ".ignore", std::ios::binary) << "skip.php\n";
  ServerHooks hooks = fake_hooks();
  hooks.ignored = nullptr;
  Client client(std::move(hooks));
  client.initialize();
  const auto uri_of = [&](const char* name) {
    std::string path = (folder.path() / name).generic_string();
    if (path.front() != '/') path.insert(0, "/");  // C:/... on Windows
    return "file://" + path;
  };
  client.open(uri_of("skip.php"), "KEY");
  client.open(uri_of("keep.php"), "KEY");
  EXPECT_TRUE(client.diagnostics(uri_of("skip.php")).empty());
  EXPECT_EQ(client.diagnostics(uri_of("keep.php")).size(), 1u);
  // Saving an ignore file asks again for every open document.
  std::ofstream(folder.path() / ".ignore", std::ios::binary) << "keep.php\n";
  client.open(uri_of(".ignore"), "keep.php\n");
  client.notify("textDocument/didSave", {{"textDocument", {{"uri", uri_of(".ignore")}}}});
  const auto all = client.taken();
  int cleared = 0, filled = 0;
  for (const json& m : all) {
    if (m["params"]["uri"] == uri_of("keep.php") && m["params"]["diagnostics"].empty()) ++cleared;
    if (m["params"]["uri"] == uri_of("skip.php") && m["params"]["diagnostics"].size() == 1)
      ++filled;
  }
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(filled, 1);
}

TEST(LspServer, HoverShowsTheAdviceAndItsExample) {
  Client client(fake_hooks());
  client.initialize();
  client.open("file:///a.c", "int a;\n  BEEP();\n");
  const auto hover_at = [&](int line, int character) {
    return client.request("textDocument/hover",
                          {{"textDocument", {{"uri", "file:///a.c"}}},
                           {"position", {{"line", line}, {"character", character}}}})["result"];
  };
  const json on = hover_at(1, 5);
  EXPECT_EQ(on["contents"]["kind"], "markdown");
  const std::string text = on["contents"]["value"];
  EXPECT_NE(text.find("C30"), std::string::npos);
  EXPECT_NE(text.find("```\n"), std::string::npos);  // the example as a code block
  EXPECT_NE(text.find("Beep"), std::string::npos);   // C30's example calls Beep
  EXPECT_EQ(on["range"], range(1, 2, 1, 6));
  EXPECT_TRUE(hover_at(1, 6).is_null());  // just after it
  EXPECT_TRUE(hover_at(0, 0).is_null());
  EXPECT_TRUE(
      client
          .request("textDocument/hover", {{"textDocument", {{"uri", "file:///x.c"}}},
                                          {"position", {{"line", 0}, {"character", 0}}}})["result"]
          .is_null());
}

TEST(LspServer, TheCodeActionsEditSilencesTheRuleOnThatLine) {
  // The real scan: its suppression markers must take the edit the action makes.
  ServerHooks hooks = fake_hooks();
  hooks.scan = nullptr;
  Client client(std::move(hooks));
  client.initialize();
  const std::string uri = "file:///w/a.php";
  const std::string text = "<?php\n$r = mysql_query($q);\n$s = 1;\n";
  client.open(uri, text);
  const auto before = client.diagnostics(uri);
  ASSERT_FALSE(before.empty());
  json asked = {{"textDocument", {{"uri", uri}}},
                {"range", range(1, 0, 1, 0)},
                {"context", {{"diagnostics", before}}}};
  const json actions = client.request("textDocument/codeAction", asked)["result"];
  ASSERT_EQ(actions.size(), 1u);
  const json& action = actions[0];
  EXPECT_EQ(action["kind"], "quickfix");
  EXPECT_NE(action["title"].get<std::string>().find("W03"), std::string::npos);
  EXPECT_EQ(action["diagnostics"][0]["code"], "W03");
  const json& edit = action["edit"]["changes"][uri][0];
  client.change(uri, 2, json::array({{{"range", edit["range"]}, {"text", edit["newText"]}}}));
  const auto after = client.published(uri);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_TRUE(after[0]["diagnostics"].empty()) << after[0].dump();
  // Other lines, and kinds other than quickfix, get none.
  asked["range"] = range(2, 0, 2, 0);
  EXPECT_TRUE(client.request("textDocument/codeAction", asked)["result"].empty());
  asked["range"] = range(1, 0, 1, 0);
  asked["context"]["only"] = {"refactor"};
  EXPECT_TRUE(client.request("textDocument/codeAction", asked)["result"].empty());
}

// --- The platform's process watch -----------------------------------------------------

TEST(LspPlatform, ARunningProcessIsSeenAndNoProcessIsNot) {
#ifdef _WIN32
  const std::int64_t self = GetCurrentProcessId();
#else
  const std::int64_t self = getpid();
#endif
  EXPECT_TRUE(platform::process_running(self));
  EXPECT_FALSE(platform::process_running(0));
  EXPECT_FALSE(platform::process_running(-1));
  EXPECT_FALSE(platform::process_running(std::int64_t{1} << 40));
}

}  // namespace
}  // namespace orven::lsp

// How the server keeps its promises:
// - Stale diagnostics are never sent. Every change gives the document a new generation and
//   queues it for the worker; the worker scans a snapshot of the text (texts are never
//   changed in place) without the lock, and publishes only while holding the lock and only
//   when the document is still open at the generation it scanned. A burst of changes thus
//   costs one scan of the last text once the worker is free: the queue holds a document at
//   most once.
// - A document's diagnostics are cleared when it closes: the close removes it under the
//   lock, so a publish of the worker is either wholly before (and the empty list follows)
//   or not at all.
// - Bad input never ends the server: each message is parsed alone, and every error a
//   request meets is its error response; a notification that cannot be applied is noted on
//   the log and dropped, as the protocol says notifications are.
// - Memory: the open documents, one snapshot the worker may still hold, and one message.
#include "app/lsp/server.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "advisor/input_walk.h"
#include "advisor/languages.h"
#include "advisor/rule_index.h"
#include "app/display_text.h"
#include "app/findings_output.h"
#include "app/lsp/marker_edit.h"
#include "texts/lsp.h"
#include "texts/product.h"

namespace orven::lsp {

namespace {

using nlohmann::json;
namespace say = texts::lsp;

// JSON-RPC's error codes, and the protocol's for a request before initialize.
constexpr int kParseErrorCode = -32700;
constexpr int kInvalidRequestCode = -32600;
constexpr int kMethodNotFoundCode = -32601;
constexpr int kInvalidParamsCode = -32602;
constexpr int kInternalErrorCode = -32603;
constexpr int kServerNotInitializedCode = -32002;

constexpr int kSeverityInformation = 3;
constexpr int kSyncIncremental = 2;
constexpr std::string_view kSource = "orven";

// The advice of each rule as a diagnostic's message (one line, and that as a JSON string)
// and as hover's Markdown.
struct RuleTexts {
  std::string message;
  std::string message_json;
  std::string markdown;
};

const std::map<std::string, RuleTexts, std::less<>>& rule_texts() {
  static const auto texts = [] {
    std::map<std::string, RuleTexts, std::less<>> by_id;
    for (const RuleRef& rule : all_rules()) {
      std::string message;
      for (const std::string& line : app::markup_lines(rule.rule->advice)) {
        const std::size_t from = line.find_first_not_of(' ');
        if (from == std::string::npos) continue;
        if (!message.empty()) message += ' ';
        message.append(line, from, line.find_last_not_of(' ') + 1 - from);
      }
      std::string message_json = json(message).dump();
      by_id[rule_id(rule.section, rule.index)] = {std::move(message), std::move(message_json),
                                                  app::rule_markdown(rule)};
    }
    return by_id;
  }();
  return texts;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX taken back to its byte; nothing when an escape is broken.
std::optional<std::string> percent_decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hex_digit(text[i + 1]);
    const int low = hex_digit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::filesystem::path path_of_utf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The file a file: URI names (file:///home/a.php, file:///C:/a.php, file://server/share/a.php
// on Windows); nothing for other schemes.
std::optional<std::filesystem::path> file_of_uri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size() ||
      !std::equal(kScheme.begin(), kScheme.end(), uri.begin(),
                  [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); })) {
    return std::nullopt;
  }
  uri.remove_prefix(kScheme.size());
  const std::size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = uri.substr(0, slash);
  std::optional<std::string> path = percent_decoded(uri.substr(slash));
  if (!path || path->find('\0') != std::string::npos) return std::nullopt;
#ifdef _WIN32
  if (!host.empty() && host != "localhost") return path_of_utf8("//" + std::string(host) + *path);
  // "/C:/x" is the drive's path "C:/x".
  if (path->size() >= 3 && (*path)[2] == ':') path->erase(0, 1);
#else
  if (!host.empty() && host != "localhost") return std::nullopt;
#endif
  return path_of_utf8(*path);
}

// The name a document's language is known by: its file's, else its URI's last part; a
// name of no language the advice covers takes the ending of its languageId.
std::filesystem::path name_of(std::string_view uri,
                              const std::optional<std::filesystem::path>& file,
                              std::string_view language_id) {
  std::filesystem::path name;
  if (file) {
    name = file->filename();
  } else {
    // A broken escape is taken as written: the ending still tells the language.
    const std::size_t cut = uri.find_last_of("/:");
    const std::string_view last = uri.substr(cut == std::string_view::npos ? 0 : cut + 1);
    name = path_of_utf8(percent_decoded(last).value_or(std::string(last)));
  }
  if (language_of(name) != Language::none) return name;
  static constexpr std::pair<std::string_view, std::string_view> kEndings[] = {
      {"php", ".php"},       {"html", ".html"}, {"xhtml", ".xhtml"},
      {"javascript", ".js"}, {"c", ".c"},       {"cpp", ".cpp"}};
  for (const auto& [id, ending] : kEndings) {
    if (language_id == id) return name.string() + std::string(ending);
  }
  return {};
}

// nlohmann's at() and get() throw on a missing member or a wrong type: the request's
// InvalidParams, a notification dropped.
Position position_from(const json& p) {
  return {p.at("line").get<std::uint64_t>(), p.at("character").get<std::uint64_t>()};
}

Range range_from(const json& r) {
  return {position_from(r.at("start")), position_from(r.at("end"))};
}

json position_json(Position p) {
  return {{"line", p.line}, {"character", p.character}};
}

// Of a message cut short, what says whose it was: its id, its method and the document it
// names, where they come before the cut.
class MessageHead : public nlohmann::json_sax<json> {
 public:
  std::optional<json> id;
  std::string method;
  std::string uri;

  bool null() override { return value(json()); }
  bool boolean(bool) override { return value(json()); }
  bool number_integer(number_integer_t n) override { return value(n); }
  bool number_unsigned(number_unsigned_t n) override { return value(n); }
  bool number_float(number_float_t, const string_t&) override { return value(json()); }
  bool string(string_t& s) override { return value(s); }
  bool binary(binary_t&) override { return value(json()); }
  bool start_object(std::size_t) override {
    keys_.emplace_back();
    return true;
  }
  bool key(string_t& k) override {
    keys_.back() = k;
    return true;
  }
  bool end_object() override {
    keys_.pop_back();
    return value_done();
  }
  bool start_array(std::size_t) override {
    keys_.emplace_back("[]");
    return true;
  }
  bool end_array() override {
    keys_.pop_back();
    return value_done();
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  bool value(const json& v) {
    if (keys_.size() == 1 && keys_[0] == "id" && (v.is_number_integer() || v.is_string())) id = v;
    if (keys_.size() == 1 && keys_[0] == "method" && v.is_string()) method = v.get<std::string>();
    if (keys_.size() == 3 && keys_[0] == "params" && keys_[1] == "textDocument" &&
        keys_[2] == "uri" && v.is_string()) {
      uri = v.get<std::string>();
    }
    return value_done();
  }
  static bool value_done() { return true; }
  std::vector<std::string> keys_;
};

}  // namespace

Server::Server(ServerHooks hooks) : hooks_(std::move(hooks)) {
  if (!hooks_.scan) {
    hooks_.scan = [](std::string_view text, const std::filesystem::path& name) {
      return document_hits(text, name, kDiagnosticsLimit);
    };
  }
  if (!hooks_.ignored) {
    hooks_.ignored = [](const std::filesystem::path& file) { return ignored_by(file).has_value(); };
  }
  worker_ = std::thread([this] { work(); });
}

Server::~Server() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void Server::settle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return dirty_.empty() && !busy_; });
}

// --- Messages -------------------------------------------------------------------------

void Server::send(const Json& message) {
  // Text that is not UTF-8 cannot reach here (it came through JSON or from the texts), but
  // a dump must never throw.
  send_body(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Server::send_body(std::string_view body) {
  const std::string whole = framed(body);
  std::lock_guard lock(write_mutex_);
  if (hooks_.write) hooks_.write(whole);
}

void Server::note(std::string_view text) {
  if (hooks_.note) hooks_.note(text);
}

void Server::reply(const Json& id, Json result) {
  send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::reply_error(const Json& id, int code, std::string_view message) {
  send({{"jsonrpc", "2.0"},
        {"id", id},
        {"error", {{"code", code}, {"message", app::to_utf8(message)}}}});
}

// The message is written piece by piece around values the library writes (the URI, each
// rule's message once for all), not built as a json value and dumped: for a document of a
// thousand diagnostics with their Cyrillic messages that took 5 ms of CPU a publish, five
// times the scan's own time.
std::string Server::diagnostics_message(const std::string& uri, std::optional<std::int64_t> version,
                                        const Text* text,
                                        const std::vector<DocumentHit>& hits) const {
  std::string out =
      R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":)";
  out += json(uri).dump(-1, ' ', false, json::error_handler_t::replace);
  out += R"(,"diagnostics":[)";
  if (text && !hits.empty()) {
    std::vector<std::size_t> offsets;
    for (const DocumentHit& hit : hits) {
      offsets.push_back(hit.begin);
      offsets.push_back(hit.end);
    }
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const std::vector<Position> positions = text->positions_of(offsets, encoding_);
    const auto position = [&](std::size_t offset) {
      const Position& p =
          positions[std::lower_bound(offsets.begin(), offsets.end(), offset) - offsets.begin()];
      return R"({"line":)" + std::to_string(p.line) + R"(,"character":)" +
             std::to_string(p.character) + "}";
    };
    for (const DocumentHit& hit : hits) {
      const auto rule = rule_texts().find(hit.id);
      if (out.back() == '}') out += ',';
      out += R"({"range":{"start":)" + position(hit.begin) + R"(,"end":)" + position(hit.end) +
             R"(},"severity":)" + std::to_string(kSeverityInformation) + R"(,"code":)" +
             json(hit.id).dump() + R"(,"source":")" + std::string(kSource) + R"(","message":)" +
             (rule == rule_texts().end() ? json(hit.id).dump() : rule->second.message_json) + "}";
    }
  }
  out += "]";
  if (version) out += R"(,"version":)" + std::to_string(*version);
  out += "}}";
  return out;
}

void Server::receive(const Incoming& incoming) {
  switch (incoming.kind) {
    case Incoming::Kind::message:
      try {
        dispatch(incoming.body);
      } catch (const std::bad_alloc&) {
        note(app::to_utf8(say::kNotJson));
      }
      return;
    case Incoming::Kind::too_large:
      return refused(incoming.body);
    case Incoming::Kind::skipped:
      return note(app::to_utf8(say::kSkippedBytes));
    case Incoming::Kind::end:
      return;
  }
}

void Server::refused(std::string_view prefix) {
  MessageHead head;
  json::sax_parse(prefix, &head, json::input_format_t::json, true, true);
  note(app::to_utf8(say::kSkippedLarge));
  if (head.id) return reply_error(*head.id, kInvalidRequestCode, say::kTooLarge);
  // A change the server never saw leaves its copy of the document unknown: it forgets the
  // document (and its diagnostics) until the client opens it again.
  if (head.method == "textDocument/didChange" || head.method == "textDocument/didOpen") {
    did_close({{"textDocument", {{"uri", head.uri}}}});
  }
}

void Server::dispatch(std::string_view body) {
  const json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    note(app::to_utf8(say::kNotJson));
    return reply_error(nullptr, kParseErrorCode, say::kParseError);
  }
  if (!message.is_object()) return reply_error(nullptr, kInvalidRequestCode, say::kInvalidRequest);
  const auto id = message.find("id");
  const bool has_id = id != message.end();
  // The protocol's ids are integers and strings (null answers an id that cannot be read).
  if (has_id && !id->is_number_integer() && !id->is_string() && !id->is_null()) {
    return reply_error(nullptr, kInvalidRequestCode, say::kInvalidRequest);
  }
  const auto method = message.find("method");
  if (method == message.end() && has_id &&
      (message.contains("result") || message.contains("error"))) {
    return;  // a response: the server sends no requests, so it waits for none
  }
  if (method == message.end() || !method->is_string()) {
    return reply_error(has_id ? *id : json(), kInvalidRequestCode, say::kInvalidRequest);
  }
  const auto params = message.find("params");
  const json& p = params == message.end() ? json::object() : *params;
  if (has_id) return on_request(method->get<std::string>(), p, *id);
  on_notification(method->get<std::string>(), p);
}

void Server::on_request(const std::string& method, const Json& params, const Json& id) {
  if (method == "initialize") {
    if (initialized_) return reply_error(id, kInvalidRequestCode, say::kInitializedTwice);
  } else if (!initialized_) {
    return reply_error(id, kServerNotInitializedCode, say::kNotInitialized);
  } else if (shut_down_) {
    return reply_error(id, kInvalidRequestCode, say::kShutDown);
  }
  try {
    if (method == "initialize") {
      if (!params.is_object()) return reply_error(id, kInvalidParamsCode, say::kInvalidParams);
      reply(id, initialize(params));
      initialized_ = true;
    } else if (method == "shutdown") {
      shut_down_ = true;
      reply(id, nullptr);
    } else if (method == "textDocument/hover") {
      reply(id, hover(params));
    } else if (method == "textDocument/codeAction") {
      reply(id, code_action(params));
    } else {
      reply_error(id, kMethodNotFoundCode, std::string(say::kMethodNotFound) + method);
    }
  } catch (const json::exception&) {
    reply_error(id, kInvalidParamsCode, say::kInvalidParams);
  } catch (const std::bad_alloc&) {
    reply_error(id, kInternalErrorCode, say::kInvalidParams);
  }
}

void Server::on_notification(const std::string& method, const Json& params) {
  if (method == "exit") {
    exited_ = true;
    return;
  }
  // Before initialize and after shutdown notifications are dropped.
  if (!initialized_ || shut_down_) return;
  try {
    if (method == "textDocument/didOpen") {
      did_open(params);
    } else if (method == "textDocument/didChange") {
      did_change(params);
    } else if (method == "textDocument/didSave") {
      did_save(params);
    } else if (method == "textDocument/didClose") {
      did_close(params);
    }
    // initialized, $/cancelRequest (every request is answered at once), $/setTrace and any
    // other notification need nothing.
  } catch (const json::exception&) {
    note(app::to_utf8(say::kNotJson));
  }
}

// --- Lifecycle ------------------------------------------------------------------------

Server::Json Server::initialize(const Json& params) {
  if (const auto pid = params.find("processId");
      pid != params.end() && pid->is_number_integer() && hooks_.watch_client) {
    hooks_.watch_client(pid->get<std::int64_t>());
  }
  // UTF-8 where the client offers it: the text's own bytes, no counting of UTF-16 units.
  const json::json_pointer offered("/capabilities/general/positionEncodings");
  if (params.contains(offered) && params.at(offered).is_array()) {
    for (const json& e : params.at(offered)) {
      if (e == "utf-8") encoding_ = Encoding::utf8;
    }
  }
  return {
      {"capabilities",
       {{"positionEncoding", encoding_ == Encoding::utf8 ? "utf-8" : "utf-16"},
        {"textDocumentSync",
         {{"openClose", true}, {"change", kSyncIncremental}, {"save", {{"includeText", false}}}}},
        {"hoverProvider", true},
        {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}}}},
      {"serverInfo", {{"name", kSource}, {"version", app::to_utf8(texts::kVersion)}}}};
}

// --- Documents ------------------------------------------------------------------------

const Server::Document* Server::document(const Json& params) const {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  const auto found = documents_.find(uri);
  if (found != documents_.end()) return &found->second;
  return nullptr;
}

bool Server::ignored(const Document& document) const {
  return document.file && hooks_.ignored(*document.file);
}

void Server::mark_dirty(const std::string& uri) {
  if (dirty_set_.insert(uri).second) dirty_.push_back(uri);
  wake_.notify_one();
}

void Server::did_open(const Json& params) {
  const json& item = params.at("textDocument");
  Document document;
  document.uri = item.at("uri").get<std::string>();
  document.file = file_of_uri(document.uri);
  document.name = name_of(document.uri, document.file,
                          item.contains("languageId") && item["languageId"].is_string()
                              ? item["languageId"].get<std::string>()
                              : std::string());
  document.version = item.contains("version") && item["version"].is_number_integer()
                         ? item["version"].get<std::int64_t>()
                         : 0;
  document.text = std::make_shared<const Text>(item.at("text").get<std::string>());
  document.ignored = !document.name.empty() && ignored(document);
  std::lock_guard lock(mutex_);
  document.generation = ++generations_;
  const std::string uri = document.uri;
  const bool advised = !document.name.empty();
  documents_.insert_or_assign(uri, std::move(document));
  if (advised) mark_dirty(uri);
}

void Server::did_change(const Json& params) {
  const Document* open = document(params);
  if (!open) {
    return note(app::to_utf8(say::kUnknownDocument) +
                app::escape_controls(params["textDocument"]["uri"].get<std::string>()) + "\n");
  }
  std::vector<TextChange> changes;
  for (const json& change : params.at("contentChanges")) {
    TextChange one;
    if (change.contains("range")) one.range = range_from(change["range"]);
    one.text = change.at("text").get<std::string>();
    changes.push_back(std::move(one));
  }
  // The new text is made outside the lock: the worker may go on scanning the old one.
  auto text = std::make_shared<const Text>(changed(*open->text, changes, encoding_));
  const json& version = params["textDocument"]["version"];
  std::lock_guard lock(mutex_);
  Document& document = documents_.at(open->uri);
  document.text = std::move(text);
  if (version.is_number_integer()) document.version = version.get<std::int64_t>();
  document.generation = ++generations_;
  if (!document.name.empty()) mark_dirty(document.uri);
}

void Server::did_save(const Json& params) {
  const Document* saved = document(params);
  if (!saved) return;
  // A saved ignore file may change what every open document's walk does.
  const bool rules = saved->file && (saved->file->filename() == ".gitignore" ||
                                     saved->file->filename() == ".ignore");
  std::vector<std::pair<std::string, bool>> now;
  for (const auto& [uri, document] : documents_) {
    if ((rules || &document == saved) && !document.name.empty()) {
      now.emplace_back(uri, ignored(document));
    }
  }
  std::lock_guard lock(mutex_);
  for (const auto& [uri, is_ignored] : now) {
    Document& document = documents_.at(uri);
    if (document.ignored == is_ignored) continue;
    document.ignored = is_ignored;
    document.generation = ++generations_;
    mark_dirty(uri);
  }
}

void Server::did_close(const Json& params) {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  {
    std::lock_guard lock(mutex_);
    if (documents_.erase(uri) == 0) return;
    if (dirty_set_.erase(uri) != 0) std::erase(dirty_, uri);
    if (dirty_.empty() && !busy_) idle_.notify_all();
  }
  send_body(diagnostics_message(uri, std::nullopt, nullptr, {}));
}

// --- Diagnostics ----------------------------------------------------------------------

std::vector<DocumentHit> Server::hits_of(const Document& document, const Text& text) const {
  if (document.name.empty() || document.ignored) return {};
  std::vector<DocumentHit> hits = hooks_.scan(text.bytes(), document.name);
  if (hits.size() > kDiagnosticsLimit) hits.resize(kDiagnosticsLimit);
  return hits;
}

Server::Json Server::range_json(const Text& text, std::size_t begin, std::size_t end) const {
  return {{"start", position_json(text.position_of(begin, encoding_))},
          {"end", position_json(text.position_of(end, encoding_))}};
}

void Server::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    busy_ = false;
    if (dirty_.empty()) idle_.notify_all();
    wake_.wait(lock, [&] { return stop_ || !dirty_.empty(); });
    if (stop_) return;
    const std::string uri = std::move(dirty_.front());
    dirty_.pop_front();
    dirty_set_.erase(uri);
    const auto found = documents_.find(uri);
    if (found == documents_.end()) continue;
    busy_ = true;
    const Document snapshot = found->second;
    lock.unlock();
    std::optional<std::string> message;
    try {
      message = diagnostics_message(uri, snapshot.version, snapshot.text.get(),
                                    hits_of(snapshot, *snapshot.text));
    } catch (const std::exception&) {
      // Out of memory for this text: its diagnostics wait for the next change.
    }
    lock.lock();
    const auto now = documents_.find(uri);
    if (!message || now == documents_.end() || now->second.generation != snapshot.generation) {
      continue;  // closed, or changed meanwhile: the newer text is queued already
    }
    // Published under the lock, so that no close or change can come between the check and
    // the message.
    send_body(*message);
  }
}

// --- Hover and the code action --------------------------------------------------------

Server::Json Server::hover(const Json& params) {
  const Document* open = document(params);
  if (!open) return nullptr;
  const Text& text = *open->text;
  const std::size_t at = text.offset_of(position_from(params.at("position")), encoding_);
  std::string markdown;
  std::set<std::string> shown;
  json range;
  for (const DocumentHit& hit : hits_of(*open, text)) {
    if (hit.begin > at || at >= hit.end || !shown.insert(hit.id).second) continue;
    const auto rule = rule_texts().find(hit.id);
    if (rule == rule_texts().end()) continue;
    if (!markdown.empty()) markdown += "\n---\n\n";
    markdown += "**" + hit.id + "** " + rule->second.markdown;
    if (range.is_null()) range = range_json(text, hit.begin, hit.end);
  }
  if (markdown.empty()) return nullptr;
  return {{"contents", {{"kind", "markdown"}, {"value", markdown}}}, {"range", range}};
}

Server::Json Server::code_action(const Json& params) {
  json actions = json::array();
  const Document* open = document(params);
  if (!open) return actions;
  const json& context = params.contains("context") ? params["context"] : json::object();
  if (context.contains("only") && context["only"].is_array()) {
    const json& only = context["only"];
    if (std::none_of(only.begin(), only.end(),
                     [](const json& k) { return k == "quickfix" || k == ""; })) {
      return actions;
    }
  }
  const Text& text = *open->text;
  const Range asked = range_from(params.at("range"));
  const std::uint64_t first = std::min(asked.start.line, asked.end.line);
  const std::uint64_t last = std::max(asked.start.line, asked.end.line);
  const Language language = language_of(open->name);
  std::set<std::pair<std::uint64_t, std::string>> offered;
  for (const DocumentHit& hit : hits_of(*open, text)) {
    const std::uint64_t line = text.line_of(hit.begin);
    const std::uint64_t end_line = text.line_of(hit.end > hit.begin ? hit.end - 1 : hit.end);
    if (end_line < first || line > last || !offered.insert({line, hit.id}).second) continue;
    const auto insertion = disable_line_insertion(text.bytes(), text.line_start(line),
                                                  text.line_end(line), language, hit.id);
    if (!insertion) continue;
    const json at = position_json(text.position_of(insertion->offset, encoding_));
    json fixed = json::array();
    if (context.contains("diagnostics") && context["diagnostics"].is_array()) {
      for (const json& d : context["diagnostics"]) {
        if (d.is_object() && d.value("code", json()) == hit.id &&
            d.value("source", json()) == kSource) {
          fixed.push_back(d);
        }
      }
    }
    json action = {
        {"title",
         app::to_utf8(say::kDisableLineBefore) + hit.id + app::to_utf8(say::kDisableLineAfter)},
        {"kind", "quickfix"},
        {"edit",
         {{"changes",
           {{open->uri,
             {{{"range", {{"start", at}, {"end", at}}}, {"newText", insertion->text}}}}}}}}};
    if (!fixed.empty()) action["diagnostics"] = std::move(fixed);
    actions.push_back(std::move(action));
  }
  return actions;
}

}  // namespace orven::lsp

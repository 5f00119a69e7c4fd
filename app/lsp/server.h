// The language server (Language Server Protocol 3.17) as a library: the JSON-RPC messages
// and the lifecycle, the open documents with full and incremental sync, the diagnostics of
// each (one per occurrence of a firing keyword), published by a worker thread that always
// takes a document's latest text, and hover and the code action over them. It never
// touches a stream itself: the reader's messages come in through receive(), and what it
// says goes out through its hooks, so tests drive it in the same process. orven-cli lsp
// (app/lsp/lsp.h) puts it on standard input and output.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "advisor/document_scan.h"
#include "app/lsp/framing.h"
#include "app/lsp/text_document.h"

namespace orven::lsp {

// At most this many diagnostics a document.
inline constexpr std::size_t kDiagnosticsLimit = 1000;

struct ServerHooks {
  // One whole message (header and body) to the client; false when it could not be written.
  std::function<bool(std::string_view)> write;
  // A line for the server's log (orven-cli: standard error).
  std::function<void(std::string_view)> note;
  // initialize named the client's process: the server ends when it does.
  std::function<void(std::int64_t)> watch_client;
  // The advice in one document (default: document_hits). Called on the worker and on the
  // thread that calls receive(), at once.
  std::function<std::vector<DocumentHit>(std::string_view text, const std::filesystem::path& name)>
      scan;
  // Whether the walk leaves a file on disk out (default: ignored_by with the default walk).
  std::function<bool(const std::filesystem::path& file)> ignored;
};

class Server {
 public:
  explicit Server(ServerHooks hooks);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // One thing the reader gave (an end of the stream is left to the caller).
  void receive(const Incoming& incoming);
  // The exit notification came.
  bool exited() const { return exited_; }
  // As the protocol says: 0 when shutdown came before the end, 1 otherwise.
  int exit_status() const { return shut_down_ ? 0 : 1; }
  // Returns once the worker has nothing left to publish.
  void settle();

 private:
  struct Document {
    std::string uri;
    std::filesystem::path name;                 // its ending gives the language; empty: none
    std::optional<std::filesystem::path> file;  // on disk, for the ignore rules
    std::int64_t version = 0;
    std::shared_ptr<const Text> text;
    std::uint64_t generation = 0;  // rises with every change the server takes
    bool ignored = false;
  };
  using Json = nlohmann::json;

  void dispatch(std::string_view body);
  void on_request(const std::string& method, const Json& params, const Json& id);
  void on_notification(const std::string& method, const Json& params);
  Json initialize(const Json& params);
  Json hover(const Json& params);
  Json code_action(const Json& params);
  void did_open(const Json& params);
  void did_change(const Json& params);
  void did_save(const Json& params);
  void did_close(const Json& params);
  void refused(std::string_view prefix);

  void reply(const Json& id, Json result);
  void reply_error(const Json& id, int code, std::string_view message);
  void send(const Json& message);
  void send_body(std::string_view body);
  void note(std::string_view text);

  // The open document of a uri, read on the thread that calls receive() (the only one that
  // changes the documents, so it needs no lock to read them).
  const Document* document(const Json& params) const;
  bool ignored(const Document& document) const;
  std::vector<DocumentHit> hits_of(const Document& document, const Text& text) const;
  // publishDiagnostics for the hits in a text (none: an empty list).
  std::string diagnostics_message(const std::string& uri, std::optional<std::int64_t> version,
                                  const Text* text, const std::vector<DocumentHit>& hits) const;
  Json range_json(const Text& text, std::size_t begin, std::size_t end) const;

  void work();
  void mark_dirty(const std::string& uri);  // with mutex_ held

  ServerHooks hooks_;
  Encoding encoding_ = Encoding::utf16;
  bool initialized_ = false;
  bool shut_down_ = false;
  bool exited_ = false;

  std::mutex write_mutex_;
  std::mutex mutex_;  // guards what follows, shared with the worker
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::map<std::string, Document> documents_;
  std::deque<std::string> dirty_;
  std::set<std::string> dirty_set_;
  std::uint64_t generations_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace orven::lsp

#include "app/lsp/lsp.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/display_text.h"
#include "app/lsp/server.h"
#include "texts/lsp.h"

namespace orven::lsp {

namespace {

// How often the client's process is looked for.
constexpr auto kWatchEvery = std::chrono::seconds(1);

void watch(std::int64_t client) {
  // A process that is not there when the client names it is one this system cannot see
  // (another PID namespace, a Windows program under a compatibility layer): nothing to watch.
  if (!platform::process_running(client)) return;
  std::thread([client] {
    while (platform::process_running(client)) std::this_thread::sleep_for(kWatchEvery);
    // Nothing the server holds needs saving, and the thread reading the input may be
    // waiting for bytes that never come.
    std::_Exit(1);
  }).detach();
}

}  // namespace

int run_language_server(std::span<const platform::Argument> args) {
  for (const platform::Argument& arg : args) {
    if (arg.text == "--help" || arg.text == "-h") {
      return platform::write_stdout(app::to_utf8(texts::lsp::kHelp)) ? 0 : 1;
    }
  }
  for (const platform::Argument& arg : args) {
    // Editors' generic clients add --stdio; it is what the server does anyway.
    if (arg.text != "--stdio") {
      platform::write_stderr(app::to_utf8(texts::lsp::kUsage));
      return 2;
    }
  }
  ServerHooks hooks;
  hooks.write = [](std::string_view bytes) { return platform::write_stdout(bytes); };
  hooks.note = [](std::string_view line) { platform::write_stderr(line); };
  hooks.watch_client = watch;
  Server server(std::move(hooks));
  MessageReader reader(platform::read_stdin);
  for (;;) {
    const Incoming incoming = reader.next();
    if (incoming.kind == Incoming::Kind::end) break;
    server.receive(incoming);
    if (server.exited()) break;
  }
  return server.exit_status();
}

}  // namespace orven::lsp

#include "app/gtk/services.h"

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/display_text.h"
#include "base/platform.h"
#include "texts/window.h"

namespace orven::gtk {
namespace {

namespace fs = std::filesystem;

gboolean run_task(gpointer task) {
  (*static_cast<std::function<void()>*>(task))();
  return G_SOURCE_REMOVE;
}

void drop_task(gpointer task) {
  delete static_cast<std::function<void()>*>(task);
}

}  // namespace

void post_to_ui(std::function<void()> task) {
  // Always as a source of the default context, never called here: g_main_context_invoke
  // would run the task on this thread whenever the loop does not hold the context (before
  // gtk_main starts, for one).
  g_idle_add_full(G_PRIORITY_DEFAULT, &run_task, new std::function<void()>(std::move(task)),
                  &drop_task);
}

std::vector<fs::path> GtkServices::choose_file() {
  std::error_code ec;
  const fs::path start = fs::current_path(ec);
  OpenRequest request{app::to_utf8(texts::window::kOpenDialogTitle), {}, ec ? fs::path() : start};
  for (const texts::window::Filter& f : texts::window::kFilters) {
    request.filters.push_back({app::to_utf8(f.name), app::to_utf8(f.pattern)});
  }
  // Shared, so that the UI thread never touches a promise this thread has dropped already.
  auto answer = std::make_shared<std::promise<std::optional<fs::path>>>();
  std::future<std::optional<fs::path>> answered = answer->get_future();
  MainWindow& window = window_;
  post_to_ui([&window, request = std::move(request), answer] {
    window.set_busy(false);
    window.ask_file(request, [&window, answer](std::optional<fs::path> chosen) {
      window.set_busy(true);
      answer->set_value(std::move(chosen));
    });
  });
  const std::optional<fs::path> chosen = answered.get();
  if (!chosen) return {};
  fs::path absolute = fs::absolute(*chosen, ec);
  if (ec) absolute = *chosen;
  // A name that does not exist still goes to the mode, which reports it as unreadable.
  fs::current_path(absolute.parent_path(), ec);
  return {absolute};
}

void GtkServices::show_message(std::string_view caption, std::string_view text, MessageKind kind) {
  auto dismissed = std::make_shared<std::promise<void>>();
  std::future<void> done = dismissed->get_future();
  MainWindow& window = window_;
  post_to_ui([&window, title = std::string(caption), body = std::string(text), kind, dismissed] {
    window.set_busy(false);
    window.tell(title, body, kind, [dismissed] { dismissed->set_value(); });
  });
  done.wait();
}

void GtkServices::open_document(const fs::path& file) {
  platform::open_document(file);
}

}  // namespace orven::gtk

// orven-cli: one run of training or expert mode from a terminal or a CI job. The run is the
// same sequence the window performs; the inputs come from the command line (training takes
// any number of files and folders, expert one script), messages go to stdout (completion)
// and stderr (errors and notes), and nothing is opened unless --open is given.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/display_text.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "base/platform.h"
#include "texts/messages.h"
#include "texts/product.h"

namespace orven::cli {
namespace {

namespace msg = texts::messages;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Standard output carries the completion message (and --help, --version); a message that
// did not get out (a closed pipe, a full disk, a closed stream) is a failure of the run.
bool say(std::string_view utf8) {
  if (platform::write_stdout(utf8)) return true;
  platform::write_stderr(app::to_utf8(msg::kCliStdoutFailed));
  return false;
}

class CliServices : public app::Services {
 public:
  CliServices(std::vector<std::filesystem::path> inputs, bool open)
      : inputs_(std::move(inputs)), open_(open) {}

  std::vector<std::filesystem::path> choose_file() override { return inputs_; }

  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override {
    if (kind == MessageKind::info) {
      said_ = say(std::string(text) + "\n");
    } else {
      platform::write_stderr(app::to_utf8(msg::kCliErrorPrefix) + std::string(caption) + ": " +
                             std::string(text) + "\n");
    }
  }

  void open_document(const std::filesystem::path& file) override {
    if (open_) platform::open_document(file);
  }

  void show_note(std::string_view text) override {
    platform::write_stderr(app::to_utf8(msg::kCliErrorPrefix) + std::string(text) + "\n");
  }

  bool said() const { return said_; }

 private:
  std::vector<std::filesystem::path> inputs_;
  bool open_;
  bool said_ = true;
};

int usage_error(const std::string& what) {
  platform::write_stderr(what + app::to_utf8(msg::kCliUsage));
  return kExitUsage;
}

std::string around(const msg::AroundName& a, const std::string& utf8) {
  return app::to_utf8(a.before) + app::escape_controls(utf8) + app::to_utf8(a.after);
}

// What --no-ignore and --exclude ask of a training walk; the mode entry below reads it.
WalkOptions g_walk;

ModeOutcome run_training(Workspace& w, std::span<const std::filesystem::path> inputs) {
  return run_advisor(w, inputs, ScanSettings{}, g_walk);
}

// Training and expert are the mode list's items 0 and 1.
constexpr std::string_view kModeWords[] = {"training", "expert"};

int run(const std::vector<platform::Argument>& args) {
  bool open = false;
  bool options_ended = false;
  std::vector<const platform::Argument*> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const platform::Argument& arg = args[i];
    const std::string& a = arg.text;
    static constexpr std::string_view kExcludeIs = "--exclude=";
    if (options_ended || a.size() < 2 || a[0] != '-') {
      operands.push_back(&arg);
    } else if (a == "--") {
      options_ended = true;
    } else if (a == "--help" || a == "-h") {
      return say(app::to_utf8(msg::kCliHelp)) ? kExitOk : kExitFailed;
    } else if (a == "--version") {
      return say(app::to_utf8(texts::kVersionLine) + "\n") ? kExitOk : kExitFailed;
    } else if (a == "--open") {
      open = true;
    } else if (a == "--no-ignore") {
      g_walk.ignore_files = false;
    } else if (a == "--exclude") {
      if (i + 1 == args.size()) return usage_error(around(msg::kCliMissingValue, a));
      g_walk.excludes.push_back(args[++i].text);
    } else if (a.starts_with(kExcludeIs)) {
      g_walk.excludes.push_back(a.substr(kExcludeIs.size()));
    } else {
      return usage_error(around(msg::kCliUnknownOption, a));
    }
  }
  if (operands.empty()) return usage_error(app::to_utf8(msg::kCliNoMode));
  int mode_index = -1;
  for (int i = 0; i < 2; ++i) {
    if (operands[0]->text == kModeWords[i]) mode_index = i;
  }
  if (mode_index < 0) return usage_error(around(msg::kCliUnknownMode, operands[0]->text));
  if (operands.size() < 2) return usage_error(app::to_utf8(msg::kCliNoFile));
  // Expert mode runs one script.
  if (app::mode_for_index(mode_index) == app::Mode::expert && operands.size() > 2) {
    return usage_error(around(msg::kCliExtraArgument, operands[2]->text));
  }
  std::vector<std::filesystem::path> inputs;
  for (std::size_t i = 1; i < operands.size(); ++i) inputs.push_back(operands[i]->path);

  CliServices services(std::move(inputs), open);
  const app::ModeEntries modes{&run_training, app::kModeEntries.expert};
  const app::RunResult result = app::perform_run(mode_index, services, modes);
  return result.outcome.status == ModeOutcome::Status::ok && services.said() ? kExitOk
                                                                             : kExitFailed;
}

}  // namespace
}  // namespace orven::cli

int main(int argc, char** argv) {
  orven::platform::ignore_write_signals();
  return orven::cli::run(orven::platform::program_arguments(argc, argv));
}

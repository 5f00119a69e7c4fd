// orven-cli: one run of training or expert mode from a terminal or a CI job. The run is the
// same sequence the window performs; the inputs come from the command line (training takes
// any number of files and folders, expert one script), messages go to stdout (completion)
// and stderr (errors and notes), and nothing is opened unless --open is given.
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/console.h"
#include "app/display_text.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "texts/messages.h"
#include "texts/product.h"

namespace orven::cli {
namespace {

namespace msg = texts::messages;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

class CliServices : public app::Services {
 public:
  CliServices(std::vector<std::filesystem::path> inputs, bool open)
      : inputs_(std::move(inputs)), open_(open) {}

  std::vector<std::filesystem::path> choose_file() override { return inputs_; }

  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override {
    if (kind == MessageKind::info) {
      write_stdout(std::string(text) + "\n");
    } else {
      write_stderr(app::to_utf8(msg::kCliErrorPrefix) + std::string(caption) + ": " +
                   std::string(text) + "\n");
    }
  }

  void open_document(const std::filesystem::path& file) override {
    if (open_) open_with_desktop(file);
  }

  void show_note(std::string_view text) override {
    write_stderr(app::to_utf8(msg::kCliErrorPrefix) + std::string(text) + "\n");
  }

 private:
  std::vector<std::filesystem::path> inputs_;
  bool open_;
};

int usage_error(const std::string& what) {
  write_stderr(what + app::to_utf8(msg::kCliUsage));
  return kExitUsage;
}

std::string around(const msg::AroundName& a, const std::string& utf8) {
  return app::to_utf8(a.before) + utf8 + app::to_utf8(a.after);
}

// Training and expert are the mode list's items 0 and 1.
constexpr std::string_view kModeWords[] = {"training", "expert"};

int run(const std::vector<Argument>& args) {
  bool open = false;
  bool options_ended = false;
  std::vector<const Argument*> operands;
  for (const Argument& arg : args) {
    const std::string& a = arg.text;
    if (options_ended || a.size() < 2 || a[0] != '-') {
      operands.push_back(&arg);
    } else if (a == "--") {
      options_ended = true;
    } else if (a == "--help" || a == "-h") {
      write_stdout(app::to_utf8(msg::kCliHelp));
      return kExitOk;
    } else if (a == "--version") {
      write_stdout(app::to_utf8(texts::kVersionLine) + "\n");
      return kExitOk;
    } else if (a == "--open") {
      open = true;
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
  const app::RunResult result = app::perform_run(mode_index, services, app::kModeEntries);
  return result.outcome.status == ModeOutcome::Status::ok ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace orven::cli

int main(int argc, char** argv) {
  using namespace orven;
  try {
    return cli::run(cli::program_arguments(argc, argv));
  } catch (const std::exception& e) {
    cli::write_stderr(app::to_utf8(texts::messages::kCliErrorPrefix) +
                      app::to_utf8(texts::messages::kInternalError) + e.what() + "\n");
    return cli::kExitFailed;
  }
}

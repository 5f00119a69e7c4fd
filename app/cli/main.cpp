// orven-cli: one run of training or expert mode from a terminal or a CI job. The run is the
// same sequence the window performs; the inputs come from the command line (training takes
// any number of files and folders, expert one script), messages go to stdout (completion)
// and stderr (errors and notes), and nothing is opened unless --open is given. With
// --format sarif|json|gnu a training run writes its findings to stdout (or --output FILE)
// instead: no report, no readme.txt, no completion message.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/display_text.h"
#include "app/findings_output.h"
#include "app/lsp/lsp.h"
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

  bool wants_causes() const override { return true; }

  bool said() const { return said_; }

 private:
  std::vector<std::filesystem::path> inputs_;
  bool open_;
  bool said_ = true;
};

// What --no-ignore and --exclude ask of a training walk; the mode entry below reads it.
WalkOptions g_walk;

ModeOutcome run_training(Workspace& w, std::span<const std::filesystem::path> inputs) {
  return run_advisor(w, inputs, ScanSettings{}, g_walk);
}

// Where the report of an html run goes, when --output names it (a mode entry is a plain
// function, so it cannot carry the name itself).
std::filesystem::path report_file;

ModeOutcome training_to_report_file(Workspace& w, std::span<const std::filesystem::path> inputs) {
  return run_advisor(w, inputs, ScanSettings{}, g_walk, report_file);
}

void say_error(const std::string& utf8) {
  platform::write_stderr(app::to_utf8(msg::kCliErrorPrefix) + app::to_utf8(msg::kErrorCaption) +
                         ": " + utf8 + "\n");
}

// The exit status of a run that did not succeed: an --output that is one of the inputs is
// a usage error, found out by the walk.
int exit_status(const ModeOutcome& outcome, bool said) {
  if (outcome.status == ModeOutcome::Status::output_is_input) return kExitUsage;
  return outcome.status == ModeOutcome::Status::ok && said ? kExitOk : kExitFailed;
}

// A training run that writes its findings in a machine format; the exit status.
int run_findings(app::FindingsFormat format, const std::filesystem::path& output,
                 const std::vector<std::filesystem::path>& inputs,
                 const std::vector<platform::Argument>& args) {
  Findings findings;
  try {
    WorkspacePtr workspace = create_workspace();
    findings = find_advice(*workspace, inputs, ScanSettings{}, g_walk);
    destroy_workspace(workspace);
  } catch (const std::bad_alloc&) {
    findings.outcome = {ModeOutcome::Status::out_of_memory, inputs.front()};
  } catch (const std::exception& e) {
    findings.outcome = {ModeOutcome::Status::internal_error, inputs.front()};
    findings.outcome.detail = e.what();
  }
  for (const SkippedInput& skipped : findings.outcome.skipped) {
    platform::write_stderr(app::to_utf8(msg::kCliErrorPrefix) + app::skipped_note(skipped) + "\n");
  }
  if (findings.outcome.status != ModeOutcome::Status::ok) {
    say_error(app::failure_message(findings.outcome, inputs));
    return exit_status(findings.outcome, true);
  }
  app::FindingsRunInfo info;
  info.arguments.push_back("orven-cli");
  for (const platform::Argument& arg : args) info.arguments.push_back(arg.text);
  std::error_code error;
  info.current_folder = std::filesystem::current_path(error);
  std::string text;
  try {
    text = app::findings_text(format, findings, info);
  } catch (const std::bad_alloc&) {
    say_error(app::failure_message({ModeOutcome::Status::out_of_memory, inputs.front()}));
    return kExitFailed;
  }
  if (output.empty()) return say(text) ? kExitOk : kExitFailed;
  if (!platform::replace_file(output, text)) {
    say_error(app::failure_message({ModeOutcome::Status::output_unwritable, output}));
    return kExitFailed;
  }
  return kExitOk;
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; nullopt when it is missing.
std::optional<std::string> option_value(const std::vector<platform::Argument>& args, std::size_t& i,
                                        std::string_view name) {
  const std::string& a = args[i].text;
  if (a.size() > name.size() && a.starts_with(name) && a[name.size()] == '=') {
    return a.substr(name.size() + 1);
  }
  if (i + 1 >= args.size()) return std::nullopt;
  return args[++i].text;
}

int usage_error(const std::string& what) {
  platform::write_stderr(what + app::to_utf8(msg::kCliUsage));
  return kExitUsage;
}

std::string around(const msg::AroundName& a, const std::string& utf8) {
  return app::to_utf8(a.before) + app::escape_controls(utf8) + app::to_utf8(a.after);
}

// "/?" asks for the help on Windows, as with the system's own programs; elsewhere it is a path.
#ifdef _WIN32
constexpr bool kSlashHelp = true;
#else
constexpr bool kSlashHelp = false;
#endif

// Training and expert are the mode list's items 0 and 1.
constexpr std::string_view kModeWords[] = {"training", "expert"};

int run(const std::vector<platform::Argument>& args) {
  bool open = false;
  bool options_ended = false;
  bool findings = false;  // --format other than html
  app::FindingsFormat format = app::FindingsFormat::sarif;
  std::optional<std::filesystem::path> output;
  std::vector<const platform::Argument*> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const platform::Argument& arg = args[i];
    const std::string& a = arg.text;
    const auto is_option = [&](std::string_view name) {
      return a == name || (a.starts_with(name) && a.size() > name.size() && a[name.size()] == '=');
    };
    static constexpr std::string_view kExcludeIs = "--exclude=";
    if (kSlashHelp && !options_ended && a == "/?") {
      return say(app::to_utf8(msg::kCliHelp)) ? kExitOk : kExitFailed;
    } else if (options_ended || a.size() < 2 || a[0] != '-') {
      operands.push_back(&arg);
    } else if (a == "--") {
      options_ended = true;
    } else if (a == "--help" || a == "-h") {
      return say(app::to_utf8(msg::kCliHelp)) ? kExitOk : kExitFailed;
    } else if (a == "--version") {
      return say(app::to_utf8(texts::kVersionLine) + "\n") ? kExitOk : kExitFailed;
    } else if (a == "--open") {
      open = true;
    } else if (is_option("--format")) {
      const std::optional<std::string> value = option_value(args, i, "--format");
      if (!value) return usage_error(around(msg::kCliNoValue, a));
      if (*value == "sarif") {
        findings = true;
        format = app::FindingsFormat::sarif;
      } else if (*value == "json") {
        findings = true;
        format = app::FindingsFormat::json;
      } else if (*value == "gnu") {
        findings = true;
        format = app::FindingsFormat::gnu;
      } else if (*value == "html") {
        findings = false;
      } else {
        return usage_error(around(msg::kCliUnknownFormat, *value));
      }
    } else if (is_option("--output")) {
      const bool joined = a != "--output";
      const std::optional<std::string> value = option_value(args, i, "--output");
      if (!value || value->empty()) return usage_error(around(msg::kCliNoValue, a));
      // The path as the system gave it (on Windows, from its wide argument).
      output = joined ? std::filesystem::path(std::u8string(value->begin(), value->end()))
                      : args[i].path;
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
  if (app::mode_for_index(mode_index) == app::Mode::expert && (findings || output)) {
    return usage_error(app::to_utf8(msg::kCliTrainingOnly));
  }
  std::vector<std::filesystem::path> inputs;
  for (std::size_t i = 1; i < operands.size(); ++i) inputs.push_back(operands[i]->path);
  if (output) g_walk.output = *output;  // the walk refuses an input that is it
  if (findings) return run_findings(format, output.value_or(std::filesystem::path()), inputs, args);
  if (output) {
    report_file = *output;
    CliServices services(std::move(inputs), open);
    const app::ModeEntries entries{&training_to_report_file, &run_script};
    const app::RunResult result = app::perform_run(mode_index, services, entries, report_file);
    return exit_status(result.outcome, services.said());
  }

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
  const auto args = orven::platform::program_arguments(argc, argv);
  // The language server keeps the standard streams for its protocol.
  if (!args.empty() && args[0].text == "lsp") {
    return orven::lsp::run_language_server(std::span(args).subspan(1));
  }
  return orven::cli::run(args);
}

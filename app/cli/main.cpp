// orven-cli: one run of training or expert mode from a terminal or a CI job. The run is the
// same sequence the window performs; the inputs come from the command line (training takes
// any number of files and folders, expert one script), messages go to stdout (completion)
// and stderr (errors and notes), and nothing is opened unless --open is given. With
// --format sarif|json|gnu a training run writes its findings to stdout (or --output FILE)
// instead: no report, no readme.txt, no completion message. The options become one
// RunRequest (app/cli/request.h), which the modes below take.
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/input_walk.h"
#include "app/baseline.h"
#include "app/cli/request.h"
#include "app/display_text.h"
#include "app/findings_output.h"
#include "app/lsp/lsp.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "base/platform.h"
#include "texts/messages.h"
#include "texts/product.h"
#include "texts/report.h"

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

void note(const std::string& utf8) {
  platform::write_stderr(app::to_utf8(msg::kCliErrorPrefix) + utf8 + "\n");
}

void say_error(const std::string& utf8) {
  note(app::to_utf8(msg::kErrorCaption) + ": " + utf8);
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
      note(std::string(caption) + ": " + std::string(text));
    }
  }

  void open_document(const std::filesystem::path& file) override {
    if (open_) platform::open_document(file);
  }

  void show_note(std::string_view text) override { note(std::string(text)); }

  bool wants_causes() const override { return true; }

  bool said() const { return said_; }

 private:
  std::vector<std::filesystem::path> inputs_;
  bool open_;
  bool said_ = true;
};

int usage_error(const std::string& what) {
  platform::write_stderr(what + "\n" + app::to_utf8(msg::kCliUsage));
  return kExitUsage;
}

std::string around(const msg::AroundName& a, const std::filesystem::path& file) {
  return app::to_utf8(a.before) + app::display_path(file) + app::to_utf8(a.after);
}

std::string full_path(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(file, error);
  return app::display_path(error ? file : full);
}

// Why --output cannot take the result: it is a link (never followed), a folder, or a device,
// pipe or socket (which could block for ever). Empty when it may. A link is left to the caller
// while `links` is false: one that leads to an input is refused by the walk as that input.
std::string output_refusal(const std::filesystem::path& output, bool links) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(output, error);
  using std::filesystem::file_type;
  std::string_view cause;
  switch (status.type()) {
    case file_type::symlink:
      if (!links) return {};
      cause = msg::kCauseLink;
      break;
    case file_type::directory:
      cause = msg::kCauses[2];
      break;
    case file_type::fifo:
      cause = msg::kCauseFifo;
      break;
    case file_type::block:
    case file_type::character:
      cause = msg::kCauseDevice;
      break;
    case file_type::socket:
      cause = msg::kCauseSocket;
      break;
    case file_type::regular:
    case file_type::not_found:
    case file_type::none:
      return {};
    default:
      cause = msg::kCauseNotFile;
      break;
  }
  return app::to_utf8(msg::kOutputUnwritable.before) + full_path(output) +
         app::to_utf8(msg::kOutputUnwritable.after) + app::to_utf8(msg::kCauseLead) +
         app::to_utf8(cause) + app::to_utf8(msg::kCauseEnd);
}

// Whether --output is a link that leads to one of the run's inputs, as a walk that reads
// nothing finds: the run then refuses it as that input.
bool link_to_an_input(const RunRequest& r) {
  std::error_code error;
  if (r.output_to != OutputTo::file || !std::filesystem::is_symlink(r.output, error)) return false;
  InputWalk walk(r.inputs, r.walk);
  while (walk.next()) {
  }
  return walk.output_met().has_value();
}

// Says why when the request's --output file cannot take the result (see output_refusal).
bool output_refused(const RunRequest& r, bool links) {
  if (r.output_to != OutputTo::file) return false;
  const std::string refusal = output_refusal(r.output, links);
  if (refusal.empty()) return false;
  say_error(refusal);
  return true;
}

// The note of a machine-format run whose input opened neither section: what does.
std::string no_section_note(MatchMode match) {
  return app::to_utf8(match == MatchMode::code ? msg::kNoSectionCode : msg::kNoSectionLead) +
         app::to_utf8(texts::kWebGate[0]) + app::to_utf8(msg::kNoSectionOr) +
         app::to_utf8(texts::kWebGate[1]) + app::to_utf8(msg::kNoSectionCpp) +
         app::to_utf8(texts::kCppGate[0]) + app::to_utf8(msg::kNoSectionOr) +
         app::to_utf8(texts::kCppGate[1]) + app::to_utf8(msg::kNoSectionEnd);
}

bool env_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// GCC's rule: colour when asked, or on a terminal that is not "dumb" unless NO_COLOR is set.
bool colored(const RunRequest& r) {
  if (r.format != app::FindingsFormat::gnu || r.color == Color::never) return false;
  if (r.color == Color::always) return true;
  const char* term = std::getenv("TERM");
  return (r.output_to == OutputTo::mode_default || r.output_to == OutputTo::standard_output) &&
         !env_set("NO_COLOR") && !(term && std::string_view(term) == "dumb") &&
         platform::stdout_is_terminal();
}

// The findings that --error-exitcode counts: left after selection, suppression and the
// baseline, of rules that fired through a keyword.
std::size_t counted_findings(const Findings& findings, const app::FindingsRunInfo& info) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < findings.findings.size(); ++i) {
    const Finding& finding = findings.findings[i];
    const bool known = info.baseline && info.known[i];
    if (finding.hit && !finding.suppressed && !known) ++count;
  }
  return count;
}

// The exit status of a run that did not succeed: an --output that is one of the inputs is
// a usage error, found out by the walk.
int exit_status(const ModeOutcome& outcome, bool said) {
  if (outcome.status == ModeOutcome::Status::output_is_input) return kExitUsage;
  return outcome.status == ModeOutcome::Status::ok && said ? kExitOk : kExitFailed;
}

// A training run that writes its findings in a machine format; the exit status.
int run_findings(const RunRequest& r, const std::vector<platform::Argument>& args) {
  if (output_refused(r, false)) return kExitFailed;
  app::Baseline baseline;
  if (r.baseline) {
    switch (app::read_baseline(*r.baseline, baseline)) {
      case app::BaselineRead::ok:
        break;
      case app::BaselineRead::unreadable:
        say_error(app::failure_message({ModeOutcome::Status::input_unreadable, *r.baseline}));
        return kExitFailed;
      case app::BaselineRead::not_findings:
        say_error(around(msg::kBaselineUnreadable, *r.baseline));
        return kExitFailed;
    }
  }

  Findings findings;
  try {
    WorkspacePtr workspace = create_workspace();
    findings = find_advice(*workspace, r.inputs, r.scan, r.walk);
    destroy_workspace(workspace);
  } catch (const std::bad_alloc&) {
    findings.outcome = {ModeOutcome::Status::out_of_memory, r.inputs.front()};
  } catch (const std::exception& e) {
    findings.outcome = {ModeOutcome::Status::internal_error, r.inputs.front()};
    findings.outcome.detail = e.what();
  }
  for (const SkippedInput& skipped : findings.outcome.skipped) note(app::skipped_note(skipped));
  if (findings.outcome.status != ModeOutcome::Status::ok) {
    say_error(app::failure_message(findings.outcome, r.inputs));
    return exit_status(findings.outcome, true);
  }
  if (output_refused(r, true)) return kExitFailed;
  if (!findings.web_gate && !findings.cpp_gate) note(no_section_note(r.scan.match));

  app::keep_selected(findings, r.selected);
  app::FindingsRunInfo info;
  info.arguments.push_back("orven-cli");
  for (const platform::Argument& arg : args) info.arguments.push_back(arg.text);
  std::error_code error;
  info.current_folder = std::filesystem::current_path(error);
  if (r.baseline) app::compare_with_baseline(findings, baseline, r.selected, info);
  const int status =
      r.error_exitcode != 0 && counted_findings(findings, info) > 0 ? r.error_exitcode : kExitOk;
  info.exit_code = status;
  info.color = colored(r);
  std::string text;
  try {
    text = app::findings_text(*r.format, findings, info);
  } catch (const std::bad_alloc&) {
    say_error(app::failure_message({ModeOutcome::Status::out_of_memory, r.inputs.front()}));
    return kExitFailed;
  }
  switch (r.output_to) {
    case OutputTo::mode_default:
    case OutputTo::standard_output:
      return say(text) ? status : kExitFailed;
    case OutputTo::nowhere:
      return status;
    case OutputTo::file:
      break;
  }
  if (!platform::replace_file(r.output, text)) {
    say_error(app::failure_message({ModeOutcome::Status::output_unwritable, r.output}));
    return kExitFailed;
  }
  return status;
}

// The html report (or expert mode's log) through the run sequence, as the window runs it.
int run_sequence(const RunRequest& r) {
  if (r.mode == app::Mode::training && output_refused(r, !link_to_an_input(r))) return kExitFailed;
  const std::filesystem::path report =
      r.output_to == OutputTo::file ? r.output : std::filesystem::path(texts::kReportFile);
  const app::ModeEntries modes{[&](Workspace& w, std::span<const std::filesystem::path> inputs) {
                                 return run_advisor(w, inputs, r.scan, r.walk, report);
                               },
                               app::kModeEntries.expert};
  CliServices services(r.inputs, r.open);
  const app::RunResult result =
      app::perform_run(r.mode == app::Mode::training ? 0 : 1, services, modes,
                       r.output_to == OutputTo::file ? r.output : std::filesystem::path());
  if (result.outcome.status != ModeOutcome::Status::ok || !services.said()) {
    return exit_status(result.outcome, services.said());
  }
  return r.error_exitcode != 0 && result.outcome.keyword_advice > 0 ? r.error_exitcode : kExitOk;
}

int run(const std::vector<platform::Argument>& args) {
  Parsed parsed = parse_command_line(args);
  if (!parsed.request) return usage_error(parsed.error);
  const RunRequest& r = *parsed.request;
  switch (r.action) {
    case Action::help:
      return say(app::to_utf8(msg::kCliHelp)) ? kExitOk : kExitFailed;
    case Action::version:
      return say(app::to_utf8(texts::kVersionLine) + "\n") ? kExitOk : kExitFailed;
    case Action::list_rules:
      return say(app::rule_list_text(r.selected, r.rules_json)) ? kExitOk : kExitFailed;
    case Action::explain:
      return say(app::rule_explanation(*r.explain)) ? kExitOk : kExitFailed;
    case Action::run:
      break;
  }
  if (r.mode == app::Mode::training && r.format) return run_findings(r, args);
  return run_sequence(r);
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

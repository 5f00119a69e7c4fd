// The command line, read by hand rather than with a parser library: every message names the
// argument as the user wrote it, in our words (CLI11 names it only inside its English texts),
// a file operand keeps the path the system gave (on Windows, its wide argument), and a mode
// word may stand among the options anywhere.
#include "app/cli/request.h"

#include <array>
#include <string_view>

#include "app/display_text.h"
#include "texts/messages.h"

namespace orven::cli {

namespace {

namespace msg = texts::messages;

enum class Option {
  open,
  no_ignore,
  exclude,
  format,
  output,
  error_exitcode,
  select,
  disable,
  baseline,
  match,
  color,
  stdin_filename,
  list_rules,
  explain,
  help,
  version,
};

// The options in the order the usage lists them. One with a value takes it as the next
// argument or after "="; one that is not repeatable takes a value once.
struct OptionSpec {
  std::string_view name;
  Option option;
  bool takes_value;
  bool repeatable;
};
constexpr OptionSpec kOptions[] = {
    {"--open", Option::open, false, true},
    {"--no-ignore", Option::no_ignore, false, true},
    {"--exclude", Option::exclude, true, true},
    {"--format", Option::format, true, false},
    {"--output", Option::output, true, false},
    {"--error-exitcode", Option::error_exitcode, true, false},
    {"--select", Option::select, true, true},
    {"--disable", Option::disable, true, true},
    {"--baseline", Option::baseline, true, false},
    {"--match", Option::match, true, false},
    {"--color", Option::color, true, false},
    {"--stdin-filename", Option::stdin_filename, true, false},
    {"--list-rules", Option::list_rules, false, true},
    {"--explain", Option::explain, true, false},
    {"--help", Option::help, false, true},
    {"-h", Option::help, false, true},
    {"--version", Option::version, false, true},
};

// "/?" asks for the help on Windows, as with the system's own programs; elsewhere it is a path.
#ifdef _WIN32
constexpr bool kSlashHelp = true;
#else
constexpr bool kSlashHelp = false;
#endif

// Training and expert are the mode list's items 0 and 1.
constexpr std::string_view kModeWords[] = {"training", "expert"};

std::string around(const msg::AroundName& a, std::string_view utf8) {
  return app::to_utf8(a.before) + app::escape_controls(utf8) + app::to_utf8(a.after);
}

// One option as given: its value as text and as the path the system gave.
struct Given {
  const OptionSpec* known = nullptr;
  std::string value;
  std::filesystem::path path;
};

Parsed answer(Action action) {
  RunRequest r;
  r.action = action;
  return {std::move(r), {}};
}

Parsed failed(std::string message) {
  if (!message.empty() && message.back() == '\n') message.pop_back();
  return {std::nullopt, std::move(message)};
}

// The number of --error-exitcode: 3 to 125 (1 and 2 are failure and usage; above 125 the
// shells' own statuses begin).
std::optional<int> exit_code(std::string_view text) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  const int n = std::stoi(std::string(text));
  return n >= 3 && n <= 125 ? std::optional<int>(n) : std::nullopt;
}

bool is_stdout_name(std::string_view value) {
  return value == "-" || value == "/dev/stdout";
}

bool is_null_device(std::string_view value) {
#ifdef _WIN32
  if (value.size() == 3 && (value[0] == 'N' || value[0] == 'n') &&
      (value[1] == 'U' || value[1] == 'u') && (value[2] == 'L' || value[2] == 'l')) {
    return true;
  }
#endif
  return value == "/dev/null";
}

}  // namespace

Parsed parse_command_line(const std::vector<platform::Argument>& args) {
  std::vector<Given> given;
  std::vector<const platform::Argument*> operands;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i].text;
    if (kSlashHelp && !options_ended && a == "/?") {
      return answer(Action::help);
    }
    if (options_ended || a.size() < 2 || a[0] != '-') {
      operands.push_back(&args[i]);
      continue;
    }
    if (a == "--") {
      options_ended = true;
      continue;
    }
    const std::size_t equals = a.starts_with("--") ? a.find('=') : std::string::npos;
    const std::string_view name = std::string_view(a).substr(0, equals);
    const OptionSpec* known = nullptr;
    for (const OptionSpec& s : kOptions) {
      if (s.name == name) known = &s;
    }
    if (!known || (!known->takes_value && equals != std::string::npos)) {
      return failed(around(msg::kCliUnknownOption, a));
    }
    // --help and --version answer at once, whatever follows.
    if (known->option == Option::help) return answer(Action::help);
    if (known->option == Option::version) return answer(Action::version);
    Given g{known, {}, {}};
    if (known->takes_value) {
      if (equals != std::string::npos) {
        g.value = a.substr(equals + 1);
        g.path = std::filesystem::path(std::u8string(g.value.begin(), g.value.end()));
      } else if (i + 1 == args.size()) {
        return failed(
            around(known->option == Option::exclude ? msg::kCliMissingValue : msg::kCliNoValue, a));
      } else {
        const std::string& next = args[i + 1].text;
        if (next.size() > 1 && next[0] == '-') {
          return failed(around(msg::kCliValueIsOption, a) + app::escape_controls(next) +
                        app::to_utf8(msg::kCliValueIsOptionEnd));
        }
        g.value = next;
        g.path = args[++i].path;  // as the system gave it (on Windows, its wide argument)
      }
      if (g.value.empty()) return failed(around(msg::kCliNoValue, a));
    }
    if (!known->repeatable) {
      for (const Given& earlier : given) {
        if (earlier.known->option == known->option) return failed(around(msg::kCliTwice, name));
      }
    }
    given.push_back(std::move(g));
  }

  // What each option says.
  RunRequest r;
  bool findings_format = false;         // sarif, json or gnu
  const Given* html_only = nullptr;     // an option that makes no sense with the report
  const Given* rules_misfit = nullptr;  // an option that --list-rules and --explain do not take
  bool list_rules = false;
  bool select_given = false;
  RuleSet selects, disables;
  std::optional<MatchMode> match;
  std::optional<std::filesystem::path> stdin_name;
  for (const Given& g : given) {
    const std::string& v = g.value;
    switch (g.known->option) {
      case Option::open:
        r.open = true;
        break;
      case Option::no_ignore:
        r.walk.ignore_files = false;
        break;
      case Option::exclude:
        r.walk.excludes.push_back(v);
        break;
      case Option::format:
        if (v == "sarif") {
          r.format = app::FindingsFormat::sarif;
        } else if (v == "json") {
          r.format = app::FindingsFormat::json;
        } else if (v == "gnu") {
          r.format = app::FindingsFormat::gnu;
        } else if (v != "html") {
          return failed(around(msg::kCliUnknownFormat, v));
        }
        findings_format = r.format.has_value();
        break;
      case Option::output:
        if (is_stdout_name(v)) {
          r.output_to = OutputTo::standard_output;
        } else if (is_null_device(v)) {
          r.output_to = OutputTo::nowhere;
        } else {
          r.output_to = OutputTo::file;
          r.output = g.path;
        }
        if (r.output_to != OutputTo::file) html_only = &g;
        break;
      case Option::error_exitcode: {
        const std::optional<int> n = exit_code(v);
        if (!n) return failed(around(msg::kCliBadExitCode, v));
        r.error_exitcode = *n;
        break;
      }
      case Option::select:
      case Option::disable: {
        std::string bad;
        RuleSet& set = g.known->option == Option::select ? selects : disables;
        if (!app::add_rule_list(v, set, bad)) return failed(around(msg::kCliUnknownRule, bad));
        select_given |= g.known->option == Option::select;
        html_only = &g;
        break;
      }
      case Option::baseline:
        r.baseline = g.path;
        html_only = &g;
        break;
      case Option::match:
        if (v != "code" && v != "text") return failed(around(msg::kCliUnknownMatch, v));
        match = v == "code" ? MatchMode::code : MatchMode::text;
        if (*match == MatchMode::code) html_only = &g;
        break;
      case Option::color:
        if (v != "auto" && v != "always" && v != "never") {
          return failed(around(msg::kCliUnknownColor, v));
        }
        r.color = v == "always" ? Color::always : v == "never" ? Color::never : Color::automatic;
        break;
      case Option::stdin_filename:
        stdin_name = g.path;
        break;
      case Option::list_rules:
        list_rules = true;
        break;
      case Option::explain:
        r.explain = app::find_rule(v);
        if (!r.explain) return failed(around(msg::kCliUnknownRule, v));
        break;
      case Option::help:
      case Option::version:
        break;
    }
    const Option o = g.known->option;
    if (o != Option::format && o != Option::select && o != Option::disable &&
        o != Option::list_rules && o != Option::explain && !rules_misfit) {
      rules_misfit = &g;
    }
  }
  const auto option_name = [](const Given* g) { return std::string(g->known->name); };

  // --list-rules and --explain: the rules themselves, no run.
  if (list_rules || r.explain) {
    if (list_rules && r.explain) return failed(around(msg::kCliRulesOnly, "--explain"));
    if (rules_misfit) return failed(around(msg::kCliRulesOnly, option_name(rules_misfit)));
    if (!operands.empty()) return failed(around(msg::kCliExtraArgument, operands[0]->text));
    for (const Given& g : given) {
      const Option o = g.known->option;
      if (r.explain && (o == Option::format || o == Option::select || o == Option::disable)) {
        return failed(around(msg::kCliRulesOnly, option_name(&g)));
      }
      if (o == Option::format && g.value != "json") {
        return failed(around(msg::kCliListFormat, g.value));
      }
    }
    r.action = r.explain ? Action::explain : Action::list_rules;
    r.rules_json = r.format == app::FindingsFormat::json;
    r.selected = select_given ? selects : RuleSet().set();
    r.selected &= ~disables;
    return {std::move(r), {}};
  }

  if (operands.empty()) return failed(app::to_utf8(msg::kCliNoMode));
  int mode_index = -1;
  for (int i = 0; i < 2; ++i) {
    if (operands[0]->text == kModeWords[i]) mode_index = i;
  }
  if (mode_index < 0 && operands[0]->text == "lsp") {
    return failed(app::to_utf8(msg::kCliLspFirst));  // main() takes "orven-cli lsp" itself
  }
  if (mode_index < 0) return failed(around(msg::kCliUnknownMode, operands[0]->text));
  if (operands.size() < 2) return failed(app::to_utf8(msg::kCliNoFile));
  r.mode = app::mode_for_index(mode_index);
  for (std::size_t i = 1; i < operands.size(); ++i) r.inputs.push_back(operands[i]->path);

  if (r.mode == app::Mode::expert) {
    // Expert mode runs one script, and takes --open only.
    if (operands.size() > 2) return failed(around(msg::kCliExtraArgument, operands[2]->text));
    for (const Given& g : given) {
      if (g.known->option != Option::open) {
        return failed(around(msg::kCliTrainingOnly, option_name(&g)));
      }
    }
    return {std::move(r), {}};
  }

  // The html report is fixed: no selection, no baseline, no code matching; it is a file.
  if (!findings_format && html_only) {
    const std::string what = html_only->known->option == Option::output
                                 ? option_name(html_only) + " " + html_only->value
                                 : option_name(html_only);
    return failed(around(msg::kCliFindingsOnly, what));
  }
  bool reads_stdin = false;
  for (const std::filesystem::path& input : r.inputs) reads_stdin |= input == "-";
  if (stdin_name && !reads_stdin) return failed(app::to_utf8(msg::kCliStdinNameAlone));

  if (r.output_to == OutputTo::file) r.walk.output = r.output;  // the walk refuses it as input
  r.scan.match = findings_format ? match.value_or(MatchMode::code) : MatchMode::text;
  r.scan.suppressions = findings_format;
  r.scan.dash_is_stdin = true;
  r.scan.stdin_name = stdin_name.value_or(std::filesystem::path());
  r.selected = select_given ? selects : RuleSet().set();
  r.selected &= ~disables;
  return {std::move(r), {}};
}

}  // namespace orven::cli

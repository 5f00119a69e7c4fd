#include "app/run_sequence.h"

#include <filesystem>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/display_text.h"
#include "app/readme.h"
#include "texts/messages.h"
#include "texts/product.h"
#include "texts/window.h"

namespace orven::app {
namespace {

namespace msg = texts::messages;
using Status = ModeOutcome::Status;

std::string around_name(const msg::AroundName& around, const std::filesystem::path& file) {
  return to_utf8(around.before) + display_path(file) + to_utf8(around.after);
}

// An output is named by its full path: the bare name alone does not say which folder.
std::filesystem::path full_path(const std::filesystem::path& file) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(file, error);
  return error ? file : full;
}

static_assert(msg::kCauses.size() == static_cast<std::size_t>(platform::Cause::other) -
                                         static_cast<std::size_t>(platform::Cause::no_such_file));

// " Причина: …." for the failure the platform layer met on the file, when it knows why.
std::string cause_text(const std::filesystem::path& file) {
  const platform::FailureCause cause = platform::failure_cause(file);
  if (cause.cause == platform::Cause::unknown) return {};
  const std::string why =
      cause.cause == platform::Cause::other
          ? escape_controls(cause.system_text)
          : to_utf8(msg::kCauses[static_cast<std::size_t>(cause.cause) -
                                 static_cast<std::size_t>(platform::Cause::no_such_file)]);
  return to_utf8(msg::kCauseLead) + why + to_utf8(msg::kCauseEnd);
}

// The error message for a mode's failure; it names the file the failure concerns (training
// with no source at all: every path given), and why when `with_cause`.
std::string failure_text(const ModeOutcome& outcome, bool with_cause,
                         std::span<const std::filesystem::path> given) {
  const std::string cause = with_cause ? cause_text(outcome.file) : std::string();
  switch (outcome.status) {
    case Status::no_sources: {
      std::string names;
      for (const std::filesystem::path& path : given) {
        if (!names.empty()) names += to_utf8(msg::kNoSourcesBetween);
        names += display_path(path);
      }
      std::string text = to_utf8(msg::kNoSources.before) + names + to_utf8(msg::kNoSources.after);
      for (const ModeOutcome::IgnoredFolder& ignored : outcome.ignored) {
        text += around_name(msg::kIgnoredFolder, ignored.folder) + escape_controls(ignored.pattern);
        if (ignored.rule_file.empty()) {
          text += to_utf8(msg::kIgnoredByExclude);
          continue;
        }
        text += to_utf8(msg::kIgnoredLine) + std::to_string(ignored.line) +
                around_name(msg::kIgnoredFile, ignored.rule_file);
        if (with_cause) text += to_utf8(msg::kNoIgnoreTakesThem);
      }
      return text;
    }
    case Status::output_is_input:
      return around_name(msg::kOutputIsInput, outcome.output) + display_path(outcome.file) +
             to_utf8(msg::kOutputIsInputEnd);
    case Status::input_unreadable:
      return around_name(
                 outcome.not_regular_file ? msg::kInputNotRegularFile : msg::kInputUnreadable,
                 outcome.file) +
             cause;
    case Status::output_unwritable:
      if (outcome.lines_lost == 0) {
        return around_name(msg::kOutputUnwritable, full_path(outcome.file)) + cause;
      }
      return around_name(msg::kLogLinesLost, full_path(outcome.file)) +
             std::to_string(outcome.lines_lost) + to_utf8(msg::kLogLinesLostEnd) + cause;
    case Status::out_of_memory:
      return around_name(msg::kOutOfMemory, outcome.file);
    case Status::internal_error:
      return to_utf8(msg::kInternalError) + escape_controls(outcome.detail);
    case Status::ok:
      break;
  }
  return {};
}

// The mode, with whatever it throws turned into its outcome: memory that ran out (or a text
// longer than a string can hold) is out_of_memory in both modes, anything else an internal
// error. The run sequence goes on either way, so the readme is written and the workspace
// released.
template <class Mode>
ModeOutcome run_mode(const Mode& mode, const std::filesystem::path& input) noexcept {
  try {
    return mode();
  } catch (const std::bad_alloc&) {
    return {Status::out_of_memory, input};
  } catch (const std::length_error&) {
    return {Status::out_of_memory, input};
  } catch (const std::exception& e) {
    ModeOutcome outcome{Status::internal_error, input};
    try {
      outcome.detail = e.what();
    } catch (...) {
      // The reason is lost, not the message.
    }
    return outcome;
  } catch (...) {
    return {Status::internal_error, input};
  }
}

// The note on an input that a training run skipped.
std::string skipped_text(const SkippedInput& skipped) {
  switch (skipped.why) {
    case SkippedInput::Why::not_regular:
      return around_name(msg::kSkippedNotRegular, skipped.file);
    case SkippedInput::Why::folder_unlisted:
      return around_name(msg::kSkippedFolder, skipped.file);
    case SkippedInput::Why::bad_name:
      return around_name(msg::kSkippedBadName, skipped.file);
    case SkippedInput::Why::unreadable:
      break;
  }
  return around_name(msg::kSkippedUnreadable, skipped.file);
}

// The services of a front with the dialog replaced by paths given beforehand.
class GivenPaths : public Services {
 public:
  GivenPaths(std::vector<std::filesystem::path> paths, Services& front)
      : paths_(std::move(paths)), front_(front) {}

  std::vector<std::filesystem::path> choose_file() override {
    // Absolute first: the names may be relative to the folder that is about to change.
    std::error_code error;
    for (std::filesystem::path& path : paths_) path = full_path(path);
    std::filesystem::current_path(paths_.front().parent_path(), error);
    return paths_;
  }
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override {
    front_.show_message(caption, text, kind);
  }
  void open_document(const std::filesystem::path& file) override { front_.open_document(file); }
  void show_note(std::string_view text) override { front_.show_note(text); }
  bool wants_causes() const override { return front_.wants_causes(); }

 private:
  std::vector<std::filesystem::path> paths_;
  Services& front_;
};

}  // namespace

RunResult perform_run_on(int mode_index, std::vector<std::filesystem::path> paths,
                         Services& services, const ModeEntries& modes) {
  if (paths.empty()) return {};
  if (mode_for_index(mode_index) == Mode::expert && paths.size() > 1) {
    RunResult refused;
    refused.outcome = {Status::input_unreadable, paths[1]};
    services.show_message(to_utf8(msg::kErrorCaption), around_name(msg::kExpertOneScript, paths[1]),
                          Services::MessageKind::error);
    return refused;
  }
  GivenPaths given(std::move(paths), services);
  return perform_run(mode_index, given, modes);
}

std::string failure_message(const ModeOutcome& outcome,
                            std::span<const std::filesystem::path> given) {
  return failure_text(outcome, true, given);
}

std::string skipped_note(const SkippedInput& skipped) {
  return skipped_text(skipped);
}

RunResult perform_run(int mode_index, Services& services, const ModeEntries& modes,
                      const std::filesystem::path& report) {
  RunResult result;
  // The workspace lives in this owning pointer, so it is released on every way out,
  // an exception from a mode or a service included.
  WorkspacePtr workspace;
  try {
    workspace = create_workspace();
  } catch (const std::bad_alloc&) {
    // No mode ever starts without a workspace; nothing else of the run happens.
    result.outcome.status = Status::out_of_memory;
    services.show_message(to_utf8(msg::kErrorCaption), to_utf8(msg::kNoMemoryForRun),
                          Services::MessageKind::error);
    return result;
  }

  const Mode mode = mode_for_index(mode_index);
  const texts::window::Completion& completion =
      texts::window::kCompletion[mode == Mode::training ? 0 : 1];

  const std::vector<std::filesystem::path> chosen = services.choose_file();
  if (!chosen.empty()) {
    result.file_chosen = true;
    result.outcome = run_mode(
        [&] {
          return mode == Mode::training ? modes.training(*workspace, chosen)
                                        : modes.expert(*workspace, chosen.front());
        },
        chosen.front());
  }
  for (const SkippedInput& skipped : result.outcome.skipped) {
    services.show_note(skipped_text(skipped));
  }

  if (result.outcome.status == Status::ok) {
    const bool own_report = mode == Mode::training && !report.empty();
    services.show_message(to_utf8(texts::window::kDoneCaption),
                          own_report
                              ? to_utf8(texts::window::detail::kDoneHead) + display_path(report) +
                                    to_utf8(texts::window::detail::kDoneTail)
                              : to_utf8(completion.message),
                          Services::MessageKind::info);
    // After a cancelled choice there may be no output at all, and some desktops answer a
    // request to open a missing file with an error box of their own.
    const std::filesystem::path output =
        own_report ? report : std::filesystem::path(completion.output);
    std::error_code error;
    if (std::filesystem::is_regular_file(output, error)) services.open_document(output);
  } else {
    services.show_message(to_utf8(msg::kErrorCaption),
                          failure_text(result.outcome, services.wants_causes(), chosen),
                          Services::MessageKind::error);
  }
  if (write_readme() == platform::OwnFile::not_ours) {
    services.show_note(around_name(msg::kReadmeNotOurs, full_path(texts::kReadmeFile)));
  }
  destroy_workspace(workspace);
  return result;
}

}  // namespace orven::app

// One press of "Далее": create the workspace, read the mode, ask for a file, run the mode,
// tell the user, open the output when there is one, rewrite readme.txt, destroy the workspace.
// Platform-free: every front-end (GTK, Win32, the command line) supplies the three services below,
// and the tests drive it with fakes. The workspace is released on every path, exceptions included.
#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven::app {

// The three platform services, and notes. Texts handed to them are UTF-8, ready for display.
class Services {
 public:
  enum class MessageKind { info, error };

  virtual ~Services() = default;
  // Asks the user for the inputs: the windows for one existing file, orven-cli takes the
  // paths it was given. Empty when cancelled.
  virtual std::vector<std::filesystem::path> choose_file() = 0;
  // Shows a message with its caption and one OK button; returns when it was dismissed.
  virtual void show_message(std::string_view caption, std::string_view text, MessageKind kind) = 0;
  // Opens a document with its default application; never blocks, failures are ignored.
  virtual void open_document(const std::filesystem::path& file) = 0;
  // A remark that does not change the run's outcome (an input that was skipped, a readme.txt
  // that was not ours to rewrite): the windows stay silent, orven-cli writes it as one line
  // on stderr.
  virtual void show_note(std::string_view /*text*/) {}
  // Whether a failure message ends with why the file could not be read or written
  // (orven-cli); the windows keep their texts as they are.
  virtual bool wants_causes() const { return false; }
};

enum class Mode { training, expert };

// Mode list index 0 is training mode; any other value, the error value -1 included, expert.
constexpr Mode mode_for_index(int index) {
  return index == 0 ? Mode::training : Mode::expert;
}

// The two mode entries: run_advisor and run_script for the fronts (app/mode_entries.h),
// fakes in tests; orven-cli's carry what its options ask of the run.
struct ModeEntries {
  std::function<ModeOutcome(Workspace&, std::span<const std::filesystem::path>)> training;
  std::function<ModeOutcome(Workspace&, const std::filesystem::path&)> expert;
};

struct RunResult {
  bool file_chosen = false;
  ModeOutcome outcome;  // Status::ok when cancelled
};

// `report` names the training report when it is not result.html (orven-cli --output): the
// completion message names it and it is the document opened.
RunResult perform_run(int mode_index, Services& services, const ModeEntries& modes,
                      const std::filesystem::path& report = {});

// The error message for a mode's failure as orven-cli shows it (it names the file the failure
// concerns, and the cause where the system gave one; training with no source at all names
// the paths given), and the note on an input a training run skipped: UTF-8, as the run
// shows them.
std::string failure_message(const ModeOutcome& outcome,
                            std::span<const std::filesystem::path> given = {});
std::string skipped_note(const SkippedInput& skipped);

// The same run on paths given from outside instead of the dialog: files and folders dropped
// on a window, or named on the window's command line ("Open with" in a file manager). The
// folder of the first path becomes the current folder, as after the dialog, so the outputs
// land there. Expert mode runs one script: more paths are refused with an error message and
// nothing runs (outcome input_unreadable, naming the first path too many).
RunResult perform_run_on(int mode_index, std::vector<std::filesystem::path> paths,
                         Services& services, const ModeEntries& modes);

}  // namespace orven::app

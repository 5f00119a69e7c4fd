// The real mode entries live apart from the run sequence, so that the sequence and its
// tests build without the two modes.
#include "advisor/advisor.h"
#include "app/run_sequence.h"
#include "script/script.h"

namespace orven::app {

ModeEntries default_mode_entries() {
  return {&run_advisor, &run_script};
}

}  // namespace orven::app

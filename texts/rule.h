// One advice rule of the code advisor: up to three keywords, any one of which fires it (none
// at all: it fires whenever its section runs), the advice text and its example. The rule
// lists in texts/ own the texts; advisor/ walks them in order.
#pragma once

#include <array>
#include <string_view>

namespace orven::texts {

struct Rule {
  std::array<std::string_view, 3> keywords;  // unused places stay empty
  std::string_view advice;
  std::string_view example;
};

}  // namespace orven::texts

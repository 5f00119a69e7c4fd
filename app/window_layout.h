// Where the main window's parts stand and how they look, shared by the GTK and Win32 windows:
// the fonts, the introduction lines' top-left points, the controls' ids and rectangles, and
// the blue panel. The texts themselves are texts/window.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orven::app::layout {

// The fonts: height is the character cell (ascent + descent) in pixels, weight 500.
struct FontSpec {
  int height;
  std::string_view face;
};
inline constexpr FontSpec kTitleFont{30, "Verdana"};
inline constexpr FontSpec kBodyFont{15, "Verdana"};
inline constexpr FontSpec kControlFont{15, "Arial"};

// Where texts::window::kIntroLines[i] is drawn: its top-left corner, in the title font for
// line 0 and the body font for the others.
struct IntroPlace {
  bool title;
  int x;
  int y;
};
inline constexpr std::array<IntroPlace, 10> kIntroPlaces{{
    {true, 260, 40},
    {false, 270, 90},
    {false, 270, 110},
    {false, 270, 130},
    {false, 270, 150},
    {false, 270, 190},
    {false, 270, 210},
    {false, 270, 230},
    {false, 270, 250},
    {false, 300, 360},
}};

// The introduction as it is read: the title, two paragraphs of four printed lines each, and
// the question that names the mode list. Each is the run of count lines from first, set
// kIntroLineStep apart at one x, as kIntroPlaces puts them.
struct IntroParagraph {
  std::size_t first;
  std::size_t count;
};
inline constexpr std::array<IntroParagraph, 4> kIntroParagraphs{{{0, 1}, {1, 4}, {5, 4}, {9, 1}}};
inline constexpr std::size_t kModeListLabel = 3;  // the paragraph that names the mode list
inline constexpr int kIntroLineStep = 20;

consteval bool paragraphs_cover_the_lines() {
  std::size_t next = 0;
  for (const IntroParagraph& p : kIntroParagraphs) {
    if (p.first != next || p.count == 0) return false;
    for (std::size_t i = p.first + 1; i < p.first + p.count; ++i) {
      if (kIntroPlaces[i].x != kIntroPlaces[p.first].x ||
          kIntroPlaces[i].y != kIntroPlaces[i - 1].y + kIntroLineStep ||
          kIntroPlaces[i].title != kIntroPlaces[p.first].title) {
        return false;
      }
    }
    next = p.first + p.count;
  }
  return next == kIntroPlaces.size();
}
static_assert(paragraphs_cover_the_lines(), "each line in one paragraph, in order, evenly set");

// The child controls, in the order they are created; positions are in client coordinates.
struct Control {
  int id;
  int x;
  int y;
  int width;
  int height;  // the mode list's height includes its drop-down part
};
inline constexpr Control kNextButton{1, 630, 520, 95, 28};
inline constexpr Control kExitButton{2, 530, 520, 95, 28};
inline constexpr Control kModeList{3, 300, 380, 400, 150};

// The blue panel on the left.
struct Rgb {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};
inline constexpr Rgb kPanelColour{44, 58, 193};
inline constexpr int kPanelRight = 238;  // the panel covers x 0-238, the black line is x 239
inline constexpr int kPanelLineX = 239;

}  // namespace orven::app::layout

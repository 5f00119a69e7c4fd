#include "app/fltk/main_window.h"

#include "app/digit_columns.h"
#include "app/display_text.h"
#include "app/fltk/fl.h"
#include "app/fltk/services.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "app/window_layout.h"
#include "texts/window.h"

namespace orven::fltk {
namespace {

namespace w = texts::window;
namespace layout = app::layout;

constexpr int kClientWidth = 794;  // what an 800 x 600 window with a fixed frame leaves
constexpr int kClientHeight = 571;
constexpr int kModeListHeight = 24;  // the closed list; its 150 pixels include the drop-down

Fl_Color rgb(layout::Rgb c) {
  return fl_rgb_color(c.red, c.green, c.blue);
}

}  // namespace

int ModeList::handle(int event) {
  if (event == FL_KEYBOARD && Fl::focus() == this) {
    const int key = Fl::event_key();
    const int step = key == FL_Down ? 1 : key == FL_Up ? -1 : 0;
    if (step != 0) {
      const int next = value() + step;
      if (next >= 0 && next < size() - 1) {
        value(next);
        do_callback();
      }
      return 1;
    }
  }
  return Fl_Choice::handle(event);
}

MainWindow::MainWindow(const Fonts& fonts)
    : Fl_Double_Window(kClientWidth, kClientHeight), fonts_(fonts) {
  caption_ = app::to_utf8(w::kCaption);
  label(caption_.c_str());
  xclass("orven");
  color(FL_WHITE);
  size_range(kClientWidth, kClientHeight, kClientWidth, kClientHeight);
  callback(&close_box);
  for (std::size_t i = 0; i < intro_.size(); ++i) intro_[i] = app::to_utf8(w::kIntroLines[i]);

  next_label_ = app::to_utf8(w::kNextButton);
  exit_label_ = app::to_utf8(w::kExitButton);
  auto* next =
      new Fl_Button(layout::kNextButton.x, layout::kNextButton.y, layout::kNextButton.width,
                    layout::kNextButton.height, next_label_.c_str());
  auto* exit =
      new Fl_Button(layout::kExitButton.x, layout::kExitButton.y, layout::kExitButton.width,
                    layout::kExitButton.height, exit_label_.c_str());
  modes_ = new ModeList(layout::kModeList.x, layout::kModeList.y, layout::kModeList.width,
                        kModeListHeight);
  for (Fl_Button* b : {next, exit}) {
    b->labelfont(fonts_.control.font);
    b->labelsize(fonts_.control.size);
  }
  next->callback(&next_pressed, this);
  exit->callback(&exit_requested);

  for (std::size_t i = 0; i < items_.size(); ++i) {
    items_[i] = app::to_utf8(w::kModeItems[i]);
    menu_[i].label(items_[i].c_str());
    menu_[i].labelfont(fonts_.control.font);
    menu_[i].labelsize(fonts_.control.size);
  }
  modes_->menu(menu_.data());
  modes_->textfont(fonts_.control.font);
  modes_->textsize(fonts_.control.size);
  modes_->down_box(FL_BORDER_BOX);
  modes_->value(0);
  end();
}

int MainWindow::handle(int event) {
  // No dialog-style keyboard handling: Tab and the arrows do not move the focus.
  if (event == FL_KEYBOARD) {
    switch (Fl::event_key()) {
      case FL_Tab:
      case FL_Left:
      case FL_Right:
      case FL_Up:
      case FL_Down:
        return 0;
      default:
        break;
    }
  }
  return Fl_Double_Window::handle(event);
}

void MainWindow::draw() {
  if ((damage() & ~FL_DAMAGE_CHILD) == 0) {  // only a control changed: the panel stays
    draw_children();
    return;
  }
  fl_rectf(0, 0, w(), h(), FL_WHITE);
  fl_rectf(0, 0, layout::kPanelRight + 1, h(), rgb(layout::kPanelColour));
  fl_color(FL_BLACK);
  fl_yxline(layout::kPanelLineX, 0, h() - 1);

  // FLTK draws text at its baseline; the positions are top-left corners.
  for (std::size_t i = 0; i < intro_.size(); ++i) {
    const layout::IntroPlace& line = layout::kIntroPlaces[i];
    const FontChoice& font = line.title ? fonts_.title : fonts_.body;
    fl_font(font.font, font.size);
    fl_draw(intro_[i].c_str(), static_cast<int>(intro_[i].size()), line.x, line.y + font.ascent);
  }

  // A fresh seed on every paint: paints within one second draw the same columns.
  fl_color(FL_WHITE);
  fl_font(fonts_.body.font, fonts_.body.size);
  const auto rows = app::digit_columns(app::paint_seed());
  for (int r = 0; r < app::kDigitRows; ++r) {
    const int baseline = r * app::kDigitRowHeight + fonts_.body.ascent;
    for (std::size_t c = 0; c < app::kDigitColumnX.size(); ++c) {
      fl_draw(&rows[r].digits[c], 1, app::kDigitColumnX[c], baseline);
    }
    fl_draw(rows[r].tail.data(), static_cast<int>(rows[r].tail.size()), app::kDigitTailX, baseline);
  }
  draw_children();
}

void MainWindow::next_pressed(Fl_Widget*, void* window) {
  auto* self = static_cast<MainWindow*>(window);
  FltkServices services(self->fonts_.control, *self);
  app::perform_run(self->modes_->value(), services, app::kModeEntries);
}

void MainWindow::exit_requested(Fl_Widget*, void*) {
  quit_program();
}

void MainWindow::close_box(Fl_Widget*, void*) {
  // Escape reaches a window as its callback too; this window ignores it.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  quit_program();
}

void quit_program() {
  while (Fl_Window* window = Fl::first_window()) window->hide();
}

}  // namespace orven::fltk

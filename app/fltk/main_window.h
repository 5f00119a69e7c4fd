// The main window on FLTK: a fixed 794 x 571 client area with the blue panel and its digit
// columns, the introduction text, the mode list and the two buttons. "Далее" performs one
// run through the shared run sequence with the FLTK services; "Выход" and the close box end
// the program with status 0.
#pragma once

#include <array>
#include <string>

#include "app/fltk/fl.h"
#include "app/fltk/fonts.h"

namespace orven::fltk {

// The mode list; Up and Down change the selection while it has the focus, as a drop-down
// list does.
class ModeList : public Fl_Choice {
 public:
  using Fl_Choice::Fl_Choice;
  int handle(int event) override;
};

class MainWindow : public Fl_Double_Window {
 public:
  explicit MainWindow(const Fonts& fonts);

  int handle(int event) override;

 protected:
  void draw() override;

 private:
  static void next_pressed(Fl_Widget*, void* window);
  static void exit_requested(Fl_Widget*, void*);
  static void close_box(Fl_Widget*, void*);

  Fonts fonts_;
  std::string caption_;
  std::array<std::string, 10> intro_;  // the introduction lines as UTF-8
  std::array<std::string, 2> items_;
  std::array<Fl_Menu_Item, 3> menu_{};
  std::string next_label_;
  std::string exit_label_;
  ModeList* modes_ = nullptr;
};

// Ends the program: every window goes, so that the event loop returns; a run that waits in
// its message is let go to finish its last steps first.
void quit_program();

}  // namespace orven::fltk

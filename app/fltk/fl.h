// FLTK's headers for the desktop window, in one place. They bring in Xlib, whose macro
// Status would turn ModeOutcome::Status into nonsense, so it is undone here; include this
// instead of any <FL/...> header that draws in Xlib.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#undef Status

// The real main window, painted and run again and again, must leave the process's GDI
// objects as it found them: every font and brush of a paint is deleted within that paint,
// a run leaves nothing behind, and the window's control fonts go with the window. Then what
// the window does besides: its layout at another DPI, the dialog keyboard, what a screen
// reader hears and how the introduction's static texts draw, drops, and the chosen file's
// folder after the Open dialog. Runs under Wine's null display driver in CTest.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <dlgs.h>
#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/dpi.h"
#include "app/win32/main_window.h"
#include "app/win32/services.h"
#include "app/window_layout.h"
#include "texts/window.h"

namespace {

using orven::win32::create_main_window;
using orven::win32::register_main_class;
using orven::win32::window_procedure;

// What the process holds. Windows counts its GDI objects through GetGuiResources; Wine
// answers that with 0, so there every entry of the process's GDI handle table is probed
// instead (Wine takes a handle's low word, the table index, without its high word, the
// generation).
struct GdiObjects {
  DWORD total = 0;
  int fonts = 0;
  int brushes = 0;
  bool operator==(const GdiObjects&) const = default;
};

GdiObjects count_gdi_objects() {
  GdiObjects count;
  count.total = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (ULONG_PTR index = 1; index < 0x10000; ++index) {
    switch (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) {
      case OBJ_FONT:
        ++count.fonts;
        break;
      case OBJ_BRUSH:
        ++count.brushes;
        break;
      default:
        break;
    }
  }
  return count;
}

void PrintTo(const GdiObjects& c, std::ostream* out) {
  *out << "{total " << c.total << ", fonts " << c.fonts << ", brushes " << c.brushes << "}";
}

// One of the two ways of counting must see something, or the comparison proves nothing.
bool counts_anything(const GdiObjects& c) {
  return c.total > 0 || (c.fonts > 0 && c.brushes > 0);
}

int paints = 0;
WNDPROC real_procedure = nullptr;

LRESULT CALLBACK counting_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) ++paints;
  return CallWindowProcW(real_procedure, window, message, wparam, lparam);
}

// Closes every dialog this process shows (the open-file dialog, the message boxes) as soon
// as it is visible, and counts them. Given a name, it types that into the Open dialog's
// name field and presses its OK button instead of cancelling it.
class DialogCloser {
 public:
  explicit DialogCloser(std::wstring name = {})
      : name_(std::move(name)), thread_([this] { loop(); }) {}
  ~DialogCloser() {
    stop_ = true;
    thread_.join();
  }
  int closed() const { return closed_; }

 private:
  static BOOL CALLBACK close_if_ours(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    auto* closer = reinterpret_cast<DialogCloser*>(self);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        std::wstring_view(name) == L"#32770") {
      // The name field: cmb13 in the Explorer-style dialog, edt1 in the older one.
      HWND field = GetDlgItem(window, cmb13);
      if (field == nullptr) field = GetDlgItem(window, edt1);
      // A dialog stays visible for a moment after the request; count it once, and before the
      // request: its owner may read the count as soon as the dialog is gone.
      const bool first_sight = window != closer->last_;
      if (first_sight) ++closer->closed_;
      closer->last_ = window;
      if (field != nullptr && !closer->name_.empty()) {
        if (first_sight) SetWindowTextW(field, closer->name_.c_str());
        PostMessageW(window, WM_COMMAND, IDOK, 0);
      } else {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
      }
    }
    return TRUE;
  }
  void loop() {
    while (!stop_) {
      EnumWindows(close_if_ours, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }

  const std::wstring name_;
  HWND last_ = nullptr;  // only the closing thread touches it
  std::atomic<bool> stop_{false};
  std::atomic<int> closed_{0};
  std::thread thread_;
};

class MainWindowGdi : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(register_main_class(GetModuleHandleW(nullptr))); }

  void SetUp() override { open_window(); }
  void TearDown() override { close_window(); }

  void open_window() {
    window_ = create_main_window(GetModuleHandleW(nullptr));
    ASSERT_NE(window_, nullptr);
    real_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&counting_procedure)));
    ASSERT_EQ(real_procedure, &window_procedure);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    repaint();
    paints = 0;
  }

  void close_window() {
    if (window_ == nullptr) return;
    DestroyWindow(window_);
    window_ = nullptr;
    // WM_DESTROY posts the quit message; it must not end the next test's dialogs.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  void repaint() {
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
  }

  HWND window_ = nullptr;
};

TEST_F(MainWindowGdi, RepaintsLeaveFontsAndBrushesAsTheyWere) {
  const GdiObjects before = count_gdi_objects();
  ASSERT_TRUE(counts_anything(before));
  for (int i = 0; i < 40; ++i) repaint();
  EXPECT_EQ(paints, 40);
  EXPECT_EQ(count_gdi_objects(), before);
}

// Counted before a window exists and after it is gone, so that what the window itself holds
// for its life (its control fonts) is seen too. The fixture's window, the process's first,
// lets the system load what it keeps for windows and controls from then on.
TEST_F(MainWindowGdi, DestroyedWindowsLeaveGdiObjectsAsTheyWere) {
  close_window();
  const GdiObjects before = count_gdi_objects();
  ASSERT_TRUE(counts_anything(before));
  for (int i = 0; i < 3; ++i) {
    ASSERT_NO_FATAL_FAILURE(open_window());
    repaint();
    close_window();
  }
  EXPECT_EQ(count_gdi_objects(), before);
}

// Cancelled runs in both modes: the dialog, the message, the open request, the readme.
TEST_F(MainWindowGdi, RunsLeaveGdiObjectsAsTheyWere) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("orven-gdi-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);

  const HWND mode_list = GetDlgItem(window_, 3);
  const auto run = [&](int mode) {
    SendMessageW(mode_list, CB_SETCURSEL, mode, 0);
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);
  };
  DialogCloser closer;
  // The first run lets the system load what it keeps for its dialogs from then on.
  run(0);
  run(1);
  const int closed_by_warm_up = closer.closed();
  const GdiObjects before = count_gdi_objects();
  ASSERT_TRUE(counts_anything(before));
  for (int i = 0; i < 6; ++i) {
    run(i % 2);
    repaint();
  }
  const GdiObjects after = count_gdi_objects();
  // Each run showed the open-file dialog and then its message.
  EXPECT_GE(closed_by_warm_up, 4);
  EXPECT_GE(closer.closed() - closed_by_warm_up, 12);
  EXPECT_TRUE(std::filesystem::exists(folder / "readme.txt"));
  EXPECT_EQ(after, before);

  std::filesystem::current_path(previous);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

// A folder of the test's own under the temporary folder, made the current folder for the
// test's life; the folder current before comes back after.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name)
      : previous_(std::filesystem::current_path()),
        path_(std::filesystem::temp_directory_path() /
              ("orven-" + name + "-" + std::to_string(GetCurrentProcessId()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// Where a control stands in the main window's client area, and its font's height.
RECT client_rectangle(HWND window, HWND control) {
  RECT rectangle{};
  GetWindowRect(control, &rectangle);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rectangle), 2);
  return rectangle;
}
LONG font_height(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font.lfHeight;
}

// What a screen reader hears of a window through MSAA: the object the system makes for it
// (oleacc's proxy for the window's class), its name, role and state.
struct Heard {
  std::wstring name;
  long role = 0;
  long state = 0;
};

Heard hear(HWND window) {
  Heard heard;
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object)))) {
    ADD_FAILURE() << "no accessible object for a window";
    return heard;
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (object->get_accName(self, &name) == S_OK && name != nullptr) {
    heard.name.assign(name, SysStringLen(name));
  }
  SysFreeString(name);
  VARIANT value;
  VariantInit(&value);
  if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4) heard.role = value.lVal;
  VariantClear(&value);
  if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4) heard.state = value.lVal;
  VariantClear(&value);
  object->Release();
  return heard;
}

std::wstring window_text(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

std::wstring class_of(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  std::wstring lower(name);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  return lower;
}

TEST(WindowScale, ScalesByTheDpiAndKeepsEverySizeAt96) {
  using orven::win32::scaled;
  EXPECT_EQ(scaled(239, 96), 239);
  EXPECT_EQ(scaled(-3, 96), -3);
  EXPECT_EQ(scaled(239, 192), 478);
  EXPECT_EQ(scaled(-3, 192), -6);
  // 150%: halves round away from zero, as MulDiv does.
  EXPECT_EQ(scaled(15, 144), 23);
  EXPECT_EQ(scaled(-3, 144), -5);
  EXPECT_EQ(scaled(1, 120), 1);
  for (int value : {-3, 0, 1, 15, 239, 620, 800}) {
    for (int dpi : {96, 120, 144, 168, 192, 288}) {
      EXPECT_EQ(scaled(value, dpi), MulDiv(value, dpi, 96)) << value << " at " << dpi;
    }
  }
}

// WM_DPICHANGED (the window moved to a monitor of another scale): the suggested rectangle,
// every control at its scaled place with a scaled font, and back at 96 DPI everything where
// it was, with no font left behind.
TEST_F(MainWindowGdi, LaysItselfOutAgainWhenTheDpiChanges) {
  namespace layout = orven::app::layout;
  const GdiObjects before = count_gdi_objects();
  const auto change_dpi = [&](int dpi, RECT suggested) {
    SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    repaint();
  };
  const auto expect_layout = [&](int dpi) {
    for (const layout::Control& control :
         {layout::kNextButton, layout::kExitButton, layout::kModeList}) {
      const layout::Control want = orven::win32::scaled(control, dpi);
      const HWND handle = GetDlgItem(window_, control.id);
      const RECT got = client_rectangle(window_, handle);
      EXPECT_EQ(got.left, want.x) << "control " << control.id << " at " << dpi;
      EXPECT_EQ(got.top, want.y) << "control " << control.id << " at " << dpi;
      EXPECT_EQ(got.right - got.left, want.width) << "control " << control.id << " at " << dpi;
      // The mode list's height includes its drop-down part, which is not shown.
      if (control.id != layout::kModeList.id) {
        EXPECT_EQ(got.bottom - got.top, want.height) << "control " << control.id;
      }
      EXPECT_EQ(font_height(handle), orven::win32::scaled(layout::kControlFont.height, dpi));
    }
  };
  // The introduction's static texts: from each paragraph's first line to the client area's
  // right edge and its last line's foot; the question in the body font.
  const auto expect_paragraphs = [&](int dpi) {
    using orven::win32::scaled;
    RECT client{};
    GetClientRect(window_, &client);
    HWND child = GetWindow(window_, GW_CHILD);
    for (const layout::IntroParagraph& p : layout::kIntroParagraphs) {
      while (child != nullptr && class_of(child) != L"static") {
        child = GetWindow(child, GW_HWNDNEXT);
      }
      ASSERT_NE(child, nullptr);
      const layout::IntroPlace& first = layout::kIntroPlaces[p.first];
      const layout::IntroPlace& last = layout::kIntroPlaces[p.first + p.count - 1];
      const RECT got = client_rectangle(window_, child);
      EXPECT_EQ(got.left, scaled(first.x, dpi)) << "line " << p.first << " at " << dpi;
      EXPECT_EQ(got.top, scaled(first.y, dpi)) << "line " << p.first << " at " << dpi;
      EXPECT_EQ(got.right, client.right) << "line " << p.first << " at " << dpi;
      const int cell = (first.title ? layout::kTitleFont : layout::kBodyFont).height;
      EXPECT_EQ(got.bottom, scaled(last.y, dpi) + scaled(cell, dpi)) << "line " << p.first;
      if (GetNextWindow(child, GW_HWNDNEXT) == GetDlgItem(window_, layout::kModeList.id)) {
        EXPECT_EQ(font_height(child), scaled(layout::kBodyFont.height, dpi));
      }
      child = GetWindow(child, GW_HWNDNEXT);
    }
  };
  expect_layout(orven::win32::window_dpi(window_));
  expect_paragraphs(orven::win32::window_dpi(window_));

  // 125%, within the test's screen, which no window outgrows.
  change_dpi(120, {100, 10, 1100, 760});
  RECT outer{};
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.top, 10);
  EXPECT_EQ(outer.right - outer.left, 1000);
  EXPECT_EQ(outer.bottom - outer.top, 750);
  expect_layout(120);
  expect_paragraphs(120);
  change_dpi(192, {0, 0, 1600, 1200});
  expect_layout(192);
  expect_paragraphs(192);

  change_dpi(144, {0, 0, 1200, 900});
  expect_layout(144);
  expect_paragraphs(144);
  change_dpi(96, {0, 0, 800, 600});
  expect_layout(96);
  expect_paragraphs(96);
  EXPECT_EQ(count_gdi_objects(), before);
}

// The keyboard of a dialog, as the message loop hands keys to IsDialogMessage: Tab moves on
// from the mode list to "Далее" and "Выход" and round again, Return presses "Далее" (a run:
// the Open dialog, then the message) and Escape presses "Выход" (the quit message).
TEST_F(MainWindowGdi, TakesTheKeyboardOfADialog) {
  namespace layout = orven::app::layout;
  TempFolder folder("keys");
  const HWND list = GetDlgItem(window_, layout::kModeList.id);
  const HWND next = GetDlgItem(window_, layout::kNextButton.id);
  const HWND exit = GetDlgItem(window_, layout::kExitButton.id);
  EXPECT_EQ(GetWindowLongW(next, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  const auto key = [&](UINT virtual_key) {
    MSG message{GetFocus(), WM_KEYDOWN, virtual_key, 0, 0, {}};
    return IsDialogMessageW(window_, &message);
  };
  // The window passes the focus on to the control that had it, the mode list at first.
  SetFocus(window_);
  EXPECT_EQ(GetFocus(), list);
  ASSERT_TRUE(key(VK_TAB));
  EXPECT_EQ(GetFocus(), next);
  ASSERT_TRUE(key(VK_TAB));
  EXPECT_EQ(GetFocus(), exit);
  ASSERT_TRUE(key(VK_TAB));
  EXPECT_EQ(GetFocus(), list);

  DialogCloser closer;
  ASSERT_TRUE(key(VK_RETURN));
  EXPECT_GE(closer.closed(), 2);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "readme.txt"));

  MSG quit{};
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  ASSERT_TRUE(key(VK_ESCAPE));
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The window as a screen reader hears it. Read in the children's order: the title and the
// two paragraphs of the introduction, a static text each, the buttons, then the question
// just before the mode list, which a Windows proxy names after the static text before it;
// the statics are no tab stops. The focus is on the mode list when the window opens, the
// controls' states follow it round with Tab, and each move is told (EVENT_OBJECT_FOCUS). Wine's
// oleacc (8.0) has no proxy for static texts, buttons or combo boxes: each is a plain client object
// named by its window text (the mode list by its selected item), so roles and the label's name are
// checked only where a proxy gives them; under Wine the order that names the list stands
// in for them.
TEST_F(MainWindowGdi, ReadsAsAScreenReaderHearsIt) {
  namespace layout = orven::app::layout;
  namespace texts = orven::texts::window;
  using orven::win32::wide;
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  // The focus events a screen reader is told, in order: the window gaining the focus passes
  // it on to the list.
  static std::vector<HWND> told;
  told.clear();
  const HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
      +[](HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
        if (object == OBJID_CLIENT && child == CHILDID_SELF) told.push_back(window);
      },
      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  const auto pump = [] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  };
  close_window();
  window_ = create_main_window(GetModuleHandleW(nullptr));
  ASSERT_NE(window_, nullptr);
  ShowWindow(window_, SW_SHOWNORMAL);  // as WinMain shows it: activated
  const HWND list = GetDlgItem(window_, layout::kModeList.id);
  const HWND next = GetDlgItem(window_, layout::kNextButton.id);
  const HWND exit = GetDlgItem(window_, layout::kExitButton.id);
  EXPECT_EQ(GetFocus(), list);

  const auto paragraph = [](std::size_t p) {
    const layout::IntroParagraph& lines = layout::kIntroParagraphs[p];
    std::wstring text;
    for (std::size_t i = lines.first; i < lines.first + lines.count; ++i) {
      text += (text.empty() ? L"" : L"\r\n") + wide(texts::kIntroLines[i]);
    }
    return text;
  };
  const std::wstring question = paragraph(layout::kModeListLabel);
  EXPECT_EQ(question, wide(texts::kIntroLines[9]));
  struct Child {
    std::wstring window_class;
    std::wstring text;
  };
  const std::vector<Child> want{{L"static", paragraph(0)},
                                {L"static", paragraph(1)},
                                {L"static", paragraph(2)},
                                {L"button", wide(texts::kNextButton)},
                                {L"button", wide(texts::kExitButton)},
                                {L"static", question},
                                {L"combobox", wide(texts::kModeItems[0])}};
  std::vector<HWND> children;
  for (HWND c = GetWindow(window_, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    children.push_back(c);
  }
  ASSERT_EQ(children.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(class_of(children[i]), want[i].window_class) << "child " << i;
    EXPECT_EQ(window_text(children[i]), want[i].text) << "child " << i;
    if (want[i].window_class == L"static") {
      EXPECT_FALSE(GetWindowLongW(children[i], GWL_STYLE) & WS_TABSTOP) << "child " << i;
      EXPECT_EQ(hear(children[i]).name, want[i].text) << "child " << i;
    }
  }
  // The label the system's convention looks for: a static text of text, right before the list.
  EXPECT_EQ(children.back(), list);
  const HWND label = GetWindow(list, GW_HWNDPREV);
  EXPECT_EQ(GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK, SS_SIMPLE);

  const Heard mode_list = hear(list);
  if (mode_list.role == ROLE_SYSTEM_COMBOBOX) {
    EXPECT_EQ(mode_list.name, question);
  } else {
    EXPECT_EQ(mode_list.role, ROLE_SYSTEM_CLIENT);  // Wine's plain client object
    EXPECT_EQ(mode_list.name, wide(texts::kModeItems[0]));
  }
  for (const HWND button : {next, exit}) {
    const Heard heard = hear(button);
    EXPECT_EQ(heard.name, window_text(button));
    if (heard.role != ROLE_SYSTEM_CLIENT) {
      EXPECT_EQ(heard.role, ROLE_SYSTEM_PUSHBUTTON);
    }
  }

  // The focus as it is told: on the list at first, then where Tab takes it, and back.
  const auto focused = [&](HWND control) {
    for (const HWND c : {list, next, exit}) {
      const long state = hear(c).state;
      EXPECT_TRUE(state & STATE_SYSTEM_FOCUSABLE);
      if (((state & STATE_SYSTEM_FOCUSED) != 0) != (c == control)) return false;
    }
    return true;
  };
  const auto tab = [&] {
    MSG message{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    return IsDialogMessageW(window_, &message);
  };
  EXPECT_TRUE(focused(list));
  ASSERT_TRUE(tab());
  EXPECT_TRUE(focused(next));
  ASSERT_TRUE(tab());
  EXPECT_TRUE(focused(exit));
  ASSERT_TRUE(tab());
  EXPECT_TRUE(focused(list));
  pump();
  UnhookWinEvent(hook);
  std::vector<HWND> controls;  // the main window's own focus, passed on at once, aside
  std::copy_if(told.begin(), told.end(), std::back_inserter(controls),
               [&](HWND w) { return IsChild(window_, w); });
  EXPECT_EQ(controls, (std::vector<HWND>{list, next, exit, list}));
  CoUninitialize();
}

// Each static text of the introduction draws its lines as the paint draws them beneath it:
// the introduction's font (the title's or the body's), black on opaque white, each line at
// its place, and white elsewhere. Drawn here into bitmaps of the static's size: what the
// static draws, and the lines drawn with the fonts as the window's font table gives them.
TEST_F(MainWindowGdi, IntroductionStaticTextsDrawTheLinesWhereThePaintDoes) {
  namespace layout = orven::app::layout;
  namespace texts = orven::texts::window;
  const auto bitmap = [](HDC dc, SIZE size, COLORREF fill, std::uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HBITMAP b =
        CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(bits), nullptr, 0);
    SelectObject(dc, b);
    const RECT all{0, 0, size.cx, size.cy};
    const HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    return b;
  };
  const auto expect_drawn = [&](int dpi) {
    HWND child = GetWindow(window_, GW_CHILD);
    for (std::size_t p = 0; p < layout::kIntroParagraphs.size(); ++p) {
      while (child != nullptr && class_of(child) != L"static")
        child = GetWindow(child, GW_HWNDNEXT);
      ASSERT_NE(child, nullptr) << "paragraph " << p;
      const RECT at = client_rectangle(window_, child);
      const SIZE size{at.right - at.left, at.bottom - at.top};
      ASSERT_GT(size.cx, 0);
      ASSERT_GT(size.cy, 0);
      const HDC drawn_dc = CreateCompatibleDC(nullptr);
      const HDC want_dc = CreateCompatibleDC(nullptr);
      std::uint32_t* drawn = nullptr;
      std::uint32_t* want = nullptr;
      // Magenta shows where the static leaves anything undrawn.
      const HBITMAP drawn_bitmap = bitmap(drawn_dc, size, RGB(255, 0, 255), &drawn);
      const HBITMAP want_bitmap = bitmap(want_dc, size, RGB(255, 255, 255), &want);
      SendMessageW(child, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(drawn_dc), PRF_CLIENT);

      const layout::IntroParagraph& lines = layout::kIntroParagraphs[p];
      const bool title = layout::kIntroPlaces[lines.first].title;
      const layout::FontSpec& typeface = title ? layout::kTitleFont : layout::kBodyFont;
      const HFONT font = CreateFontW(
          orven::win32::scaled(typeface.height, dpi), 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE,
          RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
          DEFAULT_PITCH | FF_DONTCARE, orven::win32::wide(typeface.face).c_str());
      const HGDIOBJ previous = SelectObject(want_dc, font);
      for (std::size_t i = lines.first; i < lines.first + lines.count; ++i) {
        const std::wstring line = orven::win32::wide(texts::kIntroLines[i]);
        TextOutW(want_dc, orven::win32::scaled(layout::kIntroPlaces[i].x, dpi) - at.left,
                 orven::win32::scaled(layout::kIntroPlaces[i].y, dpi) - at.top, line.c_str(),
                 static_cast<int>(line.size()));
      }
      SelectObject(want_dc, previous);
      DeleteObject(font);
      GdiFlush();
      int differing = 0;
      for (LONG i = 0; i < size.cx * size.cy; ++i)
        differing += (drawn[i] & 0xFFFFFF) != (want[i] & 0xFFFFFF);
      EXPECT_EQ(differing, 0) << "paragraph " << p << " of " << size.cx << " x " << size.cy
                              << " at " << dpi << " DPI";
      DeleteDC(drawn_dc);
      DeleteDC(want_dc);
      DeleteObject(drawn_bitmap);
      DeleteObject(want_bitmap);
      child = GetWindow(child, GW_HWNDNEXT);
    }
  };
  expect_drawn(orven::win32::window_dpi(window_));
  // At 200%, after the window moved to such a monitor.
  RECT suggested{0, 0, 1600, 1200};
  SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  expect_drawn(192);
}

// A drop of files as a file manager makes it: a DROPFILES record followed by the wide names,
// each ended by a zero, and one more zero.
HGLOBAL make_drop(const std::vector<std::filesystem::path>& files) {
  std::wstring names;
  for (const std::filesystem::path& file : files) names += file.wstring() + L'\0';
  names += L'\0';
  const SIZE_T size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(names.begin(), names.end(),
            reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES)));
  GlobalUnlock(memory);
  return memory;
}

// Files dropped on the window: one report for all of them, written beside the first, which
// is where the current folder goes. Expert mode takes one script only: two are refused, and
// nothing runs.
TEST_F(MainWindowGdi, RunsTheSelectedModeOnDroppedFiles) {
  TempFolder folder("drops");
  const std::filesystem::path project = folder.path() / "проект";
  write_file(project / "index.php", "<?php echo 1; ?>\n");
  write_file(project / "lib" / "util.inc", "<?php include 'x'; ?>\n");
  const HWND list = GetDlgItem(window_, orven::app::layout::kModeList.id);
  {
    DialogCloser closer;
    SendMessageW(window_, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(make_drop({project / "index.php", project / "lib"})), 0);
    EXPECT_GE(closer.closed(), 1);
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(project / "result.html"));
  EXPECT_TRUE(std::filesystem::is_regular_file(project / "readme.txt"));
  EXPECT_EQ(std::filesystem::current_path(), project);

  SendMessageW(list, CB_SETCURSEL, 1, 0);
  {
    DialogCloser closer;
    SendMessageW(window_, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(make_drop({project / "index.php", project / "x.txt"})),
                 0);
    EXPECT_GE(closer.closed(), 1);
  }
  EXPECT_FALSE(std::filesystem::exists(project / "orven_log.txt"));
}

// A full path typed into the Open dialog while it shows another folder: the outputs land
// beside the chosen file, whose folder is current from then on.
TEST_F(MainWindowGdi, MakesTheChosenFilesFolderCurrent) {
  TempFolder folder("chosen");
  const std::filesystem::path sources = folder.path() / "elsewhere" / "исходники";
  write_file(sources / "page.php", "<?php echo 1; ?>\n");
  std::filesystem::create_directories(folder.path() / "shown");
  std::filesystem::current_path(folder.path() / "shown");
  {
    DialogCloser closer((sources / "page.php").wstring());
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(orven::app::layout::kNextButton.id, BN_CLICKED),
                 0);
  }
  EXPECT_EQ(std::filesystem::current_path(), sources);
  EXPECT_TRUE(std::filesystem::is_regular_file(sources / "result.html"));
  EXPECT_TRUE(std::filesystem::is_regular_file(sources / "readme.txt"));
  EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "shown"));
}

}  // namespace

// The real main window, painted and run again and again, must leave the process's GDI
// objects as it found them: every font and brush of a paint is deleted within that paint,
// a run leaves nothing behind, and the window's control fonts go with the window. Then what
// the window does besides: its layout at another DPI, the dialog keyboard, drops, and the
// chosen file's folder after the Open dialog. Runs under Wine's null display driver in CTest.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <dlgs.h>
#include <shlobj.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/win32/dpi.h"
#include "app/win32/main_window.h"
#include "app/window_layout.h"

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
      if (field != nullptr && !closer->name_.empty()) {
        if (window != closer->last_) SetWindowTextW(field, closer->name_.c_str());
        PostMessageW(window, WM_COMMAND, IDOK, 0);
      } else {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
      }
      // A dialog stays visible for a moment after the request; count it once.
      if (window != closer->last_) ++closer->closed_;
      closer->last_ = window;
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
  expect_layout(orven::win32::window_dpi(window_));

  // 125%, within the test's screen, which no window outgrows.
  change_dpi(120, {100, 10, 1100, 760});
  RECT outer{};
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.top, 10);
  EXPECT_EQ(outer.right - outer.left, 1000);
  EXPECT_EQ(outer.bottom - outer.top, 750);
  expect_layout(120);
  change_dpi(192, {0, 0, 1600, 1200});
  expect_layout(192);

  change_dpi(144, {0, 0, 1200, 900});
  expect_layout(144);
  change_dpi(96, {0, 0, 800, 600});
  expect_layout(96);
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

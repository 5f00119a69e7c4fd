// The real main window, painted and run again and again, must leave the process's GDI
// objects as it found them: every font and brush of a paint is deleted within that paint,
// a run leaves nothing behind, and the window's control fonts go with the window. Runs under
// Wine's null display driver in CTest.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "app/win32/main_window.h"

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
// as it is visible, and counts them.
class DialogCloser {
 public:
  DialogCloser() : thread_([this] { loop(); }) {}
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
      PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
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

}  // namespace

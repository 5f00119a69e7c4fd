#include "app/win32/main_window.h"

#include <shellapi.h>

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/digit_columns.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "app/win32/dpi.h"
#include "app/win32/services.h"
#include "app/window_layout.h"
#include "texts/window.h"

namespace orven::win32 {
namespace {

namespace window_texts = texts::window;
namespace layout = app::layout;

constexpr int kWindowWidth = 800;  // outer size, frame and caption included
constexpr int kWindowHeight = 600;

// The children of the main window, in the order they are created, which is also the order
// Tab moves the focus in. "Далее" is the default button: Return presses it.
struct ChildControl {
  const wchar_t* window_class;
  DWORD style;
  const layout::Control& control;
  std::string_view text;
};
constexpr std::array<ChildControl, 3> kControls{{
    {L"button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, layout::kNextButton,
     window_texts::kNextButton},
    {L"button", WS_CHILD | WS_VISIBLE | WS_TABSTOP, layout::kExitButton, window_texts::kExitButton},
    {L"combobox", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, layout::kModeList, {}},
}};

// The panel: its colour, and a rectangle whose left and top edges lie outside the client
// area, so that its frame (the default pen at 96 DPI) leaves only the black line at x = 239
// visible.
constexpr COLORREF kPanelColour =
    RGB(layout::kPanelColour.red, layout::kPanelColour.green, layout::kPanelColour.blue);
constexpr RECT kPanelRectangle{-3, -3, layout::kPanelLineX + 1, 620};
constexpr COLORREF kDigitColour = RGB(255, 255, 255);

// The shell state: the mode list, read when "Далее" is pressed; the DPI the window is laid
// out for; the control that had the focus when the window was last deactivated.
HWND mode_list = nullptr;
int window_dpi_now = kBaseDpi;
HWND focused_control = nullptr;

// The paths of the command line, run on once the window is shown.
constexpr UINT kRunOnArguments = WM_APP + 1;
std::vector<std::filesystem::path> pending_paths;

HFONT make_font(const layout::FontSpec& font, BYTE charset, int dpi) {
  return CreateFontW(scaled(font.height, dpi), 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, wide(font.face).c_str());
}

// Places the controls and gives each a font of its own for dpi; the fonts they had before
// are deleted once replaced.
void lay_out_controls(HWND window, int dpi) {
  for (const ChildControl& child : kControls) {
    const layout::Control c = scaled(child.control, dpi);
    const HWND control = GetDlgItem(window, c.id);
    MoveWindow(control, c.x, c.y, c.width, c.height, TRUE);
    const auto previous = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HFONT font = make_font(layout::kControlFont, ANSI_CHARSET, dpi);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (previous != nullptr) DeleteObject(previous);
  }
}

void text_out(HDC dc, int x, int y, std::string_view cp1251) {
  const std::wstring text = wide(cp1251);
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void paint(HWND window) {
  const int dpi = window_dpi_now;
  PAINTSTRUCT paint_record;
  const HDC dc = BeginPaint(window, &paint_record);

  // Above 96 DPI the frame is a pen as wide as one pixel scaled, drawn inside the rectangle
  // so that the line keeps its place at the panel's right edge.
  const HBRUSH panel = CreateSolidBrush(kPanelColour);
  const HGDIOBJ previous_brush = SelectObject(dc, panel);
  const HPEN frame =
      dpi > kBaseDpi ? CreatePen(PS_INSIDEFRAME, scaled(1, dpi), RGB(0, 0, 0)) : nullptr;
  const HGDIOBJ previous_pen = frame != nullptr ? SelectObject(dc, frame) : nullptr;
  Rectangle(dc, scaled(kPanelRectangle.left, dpi), scaled(kPanelRectangle.top, dpi),
            scaled(kPanelRectangle.right, dpi), scaled(kPanelRectangle.bottom, dpi));
  if (frame != nullptr) {
    SelectObject(dc, previous_pen);
    DeleteObject(frame);
  }
  SelectObject(dc, previous_brush);
  DeleteObject(panel);

  // The introduction in the context's default colours: the title line, then the body font
  // from the first body line on.
  const HFONT title = make_font(layout::kTitleFont, RUSSIAN_CHARSET, dpi);
  const HGDIOBJ previous_font = SelectObject(dc, title);
  HFONT body = nullptr;
  for (std::size_t i = 0; i < layout::kIntroPlaces.size(); ++i) {
    const layout::IntroPlace& place = layout::kIntroPlaces[i];
    if (!place.title && body == nullptr) {
      body = make_font(layout::kBodyFont, RUSSIAN_CHARSET, dpi);
      SelectObject(dc, body);
    }
    text_out(dc, scaled(place.x, dpi), scaled(place.y, dpi), window_texts::kIntroLines[i]);
  }

  // The digit columns, white on the panel colour in the body font; a fresh seed from the
  // clock on every paint.
  SetBkColor(dc, kPanelColour);
  SetTextColor(dc, kDigitColour);
  const auto rows = app::digit_columns(app::paint_seed());
  for (int r = 0; r < app::kDigitRows; ++r) {
    const int y = scaled(r * app::kDigitRowHeight, dpi);
    for (std::size_t c = 0; c < app::kDigitColumnX.size(); ++c) {
      const wchar_t digit = rows[r].digits[c] == '0' ? L'0' : L'1';
      TextOutW(dc, scaled(app::kDigitColumnX[c], dpi), y, &digit, 1);
    }
    text_out(dc, scaled(app::kDigitTailX, dpi), y, rows[r].tail);
  }

  SelectObject(dc, previous_font);
  DeleteObject(title);
  DeleteObject(body);
  EndPaint(window, &paint_record);
}

// "Далее": one run.
void perform_run(HWND window) {
  const int index = static_cast<int>(SendMessageW(mode_list, CB_GETCURSEL, 0, 0));
  Win32Services services(window);
  app::perform_run(index, services, app::kModeEntries);
}

// The selected mode on paths dropped on the window or named on its command line.
void perform_run_on(HWND window, std::vector<std::filesystem::path> paths) {
  if (paths.empty()) return;
  const int index = static_cast<int>(SendMessageW(mode_list, CB_GETCURSEL, 0, 0));
  Win32Services services(window);
  app::perform_run_on(index, std::move(paths), services, app::kModeEntries);
}

// The files and folders of a drop, in the order the drop gives them; the drop is released.
std::vector<std::filesystem::path> dropped_paths(HDROP drop) {
  std::vector<std::filesystem::path> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;
    std::wstring name(length + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
    paths.emplace_back(std::move(name));
  }
  DragFinish(drop);
  return paths;
}

// Moves the window to its new monitor's scale: the system's suggested rectangle, then the
// controls, their fonts and the painted parts at the new DPI.
void change_dpi(HWND window, int dpi, const RECT& suggested) {
  window_dpi_now = dpi;
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  lay_out_controls(window, dpi);
  InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

bool register_main_class(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = window_procedure;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = 0;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  window_class.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  window_class.lpszMenuName = nullptr;
  window_class.lpszClassName = kClassName;
  return RegisterClassExW(&window_class) != 0;
}

HWND create_main_window(HINSTANCE instance) {
  const HWND window = CreateWindowExW(0, kClassName, wide(window_texts::kCaption).c_str(),
                                      WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth,
                                      kWindowHeight, nullptr, nullptr, instance, nullptr);
  // The outer size follows the DPI of the monitor the window was made on.
  window_dpi_now = window_dpi(window);
  if (window_dpi_now != kBaseDpi) {
    SetWindowPos(window, nullptr, 0, 0, scaled(kWindowWidth, window_dpi_now),
                 scaled(kWindowHeight, window_dpi_now), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (const ChildControl& child : kControls) {
    const layout::Control c = scaled(child.control, window_dpi_now);
    const HWND handle = CreateWindowExW(
        0, child.window_class, wide(child.text).c_str(), child.style, c.x, c.y, c.width, c.height,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (c.id == layout::kModeList.id) mode_list = handle;
  }
  // Each control gets a font of its own, kept for the life of the window (or until the
  // window moves to another DPI).
  for (const ChildControl& child : kControls) {
    const HFONT font = make_font(layout::kControlFont, ANSI_CHARSET, window_dpi_now);
    SendDlgItemMessageW(window, child.control.id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  for (const std::string_view item : window_texts::kModeItems) {
    SendMessageW(mode_list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
  }
  SendMessageW(mode_list, CB_SETCURSEL, 0, 0);
  focused_control = mode_list;
  // Files and folders dropped from a file manager run the selected mode.
  DragAcceptFiles(window, TRUE);
  return window;
}

void run_on_arguments(HWND window, std::vector<std::filesystem::path> paths) {
  if (paths.empty()) return;
  pending_paths = std::move(paths);
  PostMessageW(window, kRunOnArguments, 0, 0);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      paint(window);
      return 0;
    case kRunOnArguments:
      perform_run_on(window, std::exchange(pending_paths, {}));
      return 0;
    case WM_DROPFILES:
      perform_run_on(window, dropped_paths(reinterpret_cast<HDROP>(wparam)));
      return 0;
    case WM_DPICHANGED:
      change_dpi(window, HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    // The keyboard of a dialog (IsDialogMessage in the message loop): Return presses the
    // default button, "Далее", where the focus is not on a button; Escape sends IDCANCEL,
    // which is "Выход"'s id.
    case DM_GETDEFID:
      return MAKELRESULT(layout::kNextButton.id, DC_HASDEFID);
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) focused_control = focus;
      }
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_SETFOCUS:
      // The window itself takes no keys: the focus goes on to the control that had it.
      SetFocus(focused_control != nullptr && IsChild(window, focused_control) ? focused_control
                                                                              : mode_list);
      return 0;
    case WM_COMMAND:
      // The low word is the control id; notifications (the high word) are ignored.
      switch (LOWORD(wparam)) {
        case layout::kExitButton.id:
          PostQuitMessage(0);
          break;
        case layout::kNextButton.id:
          perform_run(window);
          break;
        default:
          break;
      }
      return 0;
    case WM_DESTROY:
      DragAcceptFiles(window, FALSE);
      // Controls never free the fonts they are given; hidden by now, they draw no more.
      for (const ChildControl& child : kControls) {
        DeleteObject(reinterpret_cast<HFONT>(
            SendDlgItemMessageW(window, child.control.id, WM_GETFONT, 0, 0)));
      }
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

int run_message_loop(HWND window) {
  MSG message{};
  // GetMessageW gives -1 on an error; that ends the loop too rather than spinning on it.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace orven::win32

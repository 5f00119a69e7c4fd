#include "app/win32/main_window.h"

#include <array>
#include <string>

#include "app/digit_columns.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "app/win32/services.h"
#include "app/window_layout.h"
#include "texts/window.h"

namespace orven::win32 {
namespace {

namespace window_texts = texts::window;
namespace layout = app::layout;

constexpr int kWindowWidth = 800;  // outer size, frame and caption included
constexpr int kWindowHeight = 600;

// The children of the main window, in the order they are created.
struct ChildControl {
  const wchar_t* window_class;
  DWORD style;
  const layout::Control& control;
  std::string_view text;
};
constexpr std::array<ChildControl, 3> kControls{{
    {L"button", WS_CHILD | WS_VISIBLE, layout::kNextButton, window_texts::kNextButton},
    {L"button", WS_CHILD | WS_VISIBLE, layout::kExitButton, window_texts::kExitButton},
    {L"combobox", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, layout::kModeList, {}},
}};

// The panel: its colour, and a rectangle whose left and top edges lie outside the client
// area, so that the default pen leaves only the black line at x = 239 visible.
constexpr COLORREF kPanelColour =
    RGB(layout::kPanelColour.red, layout::kPanelColour.green, layout::kPanelColour.blue);
constexpr RECT kPanelRectangle{-3, -3, layout::kPanelLineX + 1, 620};
constexpr COLORREF kDigitColour = RGB(255, 255, 255);

// The one piece of shell state: the mode list, read when "Далее" is pressed.
HWND mode_list = nullptr;

HFONT make_font(const layout::FontSpec& font, BYTE charset) {
  return CreateFontW(font.height, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, wide(font.face).c_str());
}

void text_out(HDC dc, int x, int y, std::string_view cp1251) {
  const std::wstring text = wide(cp1251);
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void paint(HWND window) {
  PAINTSTRUCT paint_record;
  const HDC dc = BeginPaint(window, &paint_record);

  const HBRUSH panel = CreateSolidBrush(kPanelColour);
  const HGDIOBJ previous_brush = SelectObject(dc, panel);
  Rectangle(dc, kPanelRectangle.left, kPanelRectangle.top, kPanelRectangle.right,
            kPanelRectangle.bottom);
  SelectObject(dc, previous_brush);
  DeleteObject(panel);

  // The introduction in the context's default colours: the title line, then the body font
  // from the first body line on.
  const HFONT title = make_font(layout::kTitleFont, RUSSIAN_CHARSET);
  const HGDIOBJ previous_font = SelectObject(dc, title);
  HFONT body = nullptr;
  for (std::size_t i = 0; i < layout::kIntroPlaces.size(); ++i) {
    const layout::IntroPlace& place = layout::kIntroPlaces[i];
    if (!place.title && body == nullptr) {
      body = make_font(layout::kBodyFont, RUSSIAN_CHARSET);
      SelectObject(dc, body);
    }
    text_out(dc, place.x, place.y, window_texts::kIntroLines[i]);
  }

  // The digit columns, white on the panel colour in the body font; a fresh seed from the
  // clock on every paint.
  SetBkColor(dc, kPanelColour);
  SetTextColor(dc, kDigitColour);
  const auto rows = app::digit_columns(app::paint_seed());
  for (int r = 0; r < app::kDigitRows; ++r) {
    const int y = r * app::kDigitRowHeight;
    for (std::size_t c = 0; c < app::kDigitColumnX.size(); ++c) {
      const wchar_t digit = rows[r].digits[c] == '0' ? L'0' : L'1';
      TextOutW(dc, app::kDigitColumnX[c], y, &digit, 1);
    }
    text_out(dc, app::kDigitTailX, y, rows[r].tail);
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
  for (const ChildControl& child : kControls) {
    const layout::Control& c = child.control;
    const HWND handle = CreateWindowExW(
        0, child.window_class, wide(child.text).c_str(), child.style, c.x, c.y, c.width, c.height,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (c.id == layout::kModeList.id) mode_list = handle;
  }
  // Each control gets a font of its own, kept for the life of the window.
  for (const ChildControl& child : kControls) {
    const HFONT font = make_font(layout::kControlFont, ANSI_CHARSET);
    SendDlgItemMessageW(window, child.control.id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  for (const std::string_view item : window_texts::kModeItems) {
    SendMessageW(mode_list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
  }
  SendMessageW(mode_list, CB_SETCURSEL, 0, 0);
  return window;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      paint(window);
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

int run_message_loop() {
  MSG message{};
  // GetMessageW gives -1 on an error; that ends the loop too rather than spinning on it.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace orven::win32

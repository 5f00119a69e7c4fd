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

// The introduction as a screen reader reads it: one static text per paragraph (the title,
// two paragraphs, the question), in the order read, each drawing its lines as the paint
// draws them beneath it, so that nothing moves by a pixel. The title and the paragraphs come
// first and are owner-drawn (their lines stand further apart than a static text sets them);
// the question is a plain one-line static text in the body font just before the mode list,
// the label that, by the system's convention, names the control after it. None is a tab
// stop: Tab goes round the three controls alone.
constexpr int kFirstParagraphId = 4;
constexpr int kParagraphs = static_cast<int>(layout::kIntroParagraphs.size());
constexpr int kQuestionId = kFirstParagraphId + static_cast<int>(layout::kModeListLabel);
// Where each paragraph's static text is created: before the control of this id.
constexpr int paragraph_before(std::size_t paragraph) {
  return paragraph == layout::kModeListLabel ? layout::kModeList.id : layout::kNextButton.id;
}

// The children that hold a font of their own for the window's life: the three controls
// (the control font), then the question (the body font).
constexpr std::array<int, 4> kFontedIds{layout::kNextButton.id, layout::kExitButton.id,
                                        layout::kModeList.id, kQuestionId};

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

void text_out(HDC dc, int x, int y, std::string_view cp1251) {
  const std::wstring text = wide(cp1251);
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// Introduction line i at its place, less the top-left corner of what dc draws on.
void intro_line_out(HDC dc, std::size_t i, int dpi, POINT origin) {
  const layout::IntroPlace& place = layout::kIntroPlaces[i];
  text_out(dc, scaled(place.x, dpi) - origin.x, scaled(place.y, dpi) - origin.y,
           window_texts::kIntroLines[i]);
}

// A paragraph's static text: from its first line's top-left corner to the client area's
// right edge and its last line's foot.
RECT paragraph_rectangle(HWND window, const layout::IntroParagraph& paragraph, int dpi) {
  const layout::IntroPlace& first = layout::kIntroPlaces[paragraph.first];
  const layout::IntroPlace& last = layout::kIntroPlaces[paragraph.first + paragraph.count - 1];
  const int height = (first.title ? layout::kTitleFont : layout::kBodyFont).height;
  RECT client{};
  GetClientRect(window, &client);
  return {scaled(first.x, dpi), scaled(first.y, dpi), client.right,
          scaled(last.y, dpi) + scaled(height, dpi)};
}

std::wstring paragraph_text(const layout::IntroParagraph& paragraph) {
  std::wstring text;
  for (std::size_t i = paragraph.first; i < paragraph.first + paragraph.count; ++i) {
    if (i != paragraph.first) text += L"\r\n";
    text += wide(window_texts::kIntroLines[i]);
  }
  return text;
}

HWND create_paragraph(HINSTANCE instance, HWND window, std::size_t paragraph, int dpi) {
  const RECT r = paragraph_rectangle(window, layout::kIntroParagraphs[paragraph], dpi);
  const DWORD type = paragraph == layout::kModeListLabel ? SS_SIMPLE : SS_OWNERDRAW;
  return CreateWindowExW(
      0, L"static", paragraph_text(layout::kIntroParagraphs[paragraph]).c_str(),
      WS_CHILD | WS_VISIBLE | type | SS_NOPREFIX, r.left, r.top, r.right - r.left, r.bottom - r.top,
      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstParagraphId + paragraph)),
      instance, nullptr);
}

// Gives child id its font for dpi; the font it had before is deleted once replaced.
void give_font(HWND window, int id, int dpi) {
  const HWND child = GetDlgItem(window, id);
  const auto previous = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
  const HFONT font = id == kQuestionId ? make_font(layout::kBodyFont, RUSSIAN_CHARSET, dpi)
                                       : make_font(layout::kControlFont, ANSI_CHARSET, dpi);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (previous != nullptr) DeleteObject(previous);
}

// Places the controls and the paragraphs' static texts for dpi, with their fonts.
void lay_out_controls(HWND window, int dpi) {
  for (const ChildControl& child : kControls) {
    const layout::Control c = scaled(child.control, dpi);
    MoveWindow(GetDlgItem(window, c.id), c.x, c.y, c.width, c.height, TRUE);
  }
  for (int p = 0; p < kParagraphs; ++p) {
    const RECT r = paragraph_rectangle(window, layout::kIntroParagraphs[p], dpi);
    MoveWindow(GetDlgItem(window, kFirstParagraphId + p), r.left, r.top, r.right - r.left,
               r.bottom - r.top, TRUE);
  }
  for (const int id : kFontedIds) give_font(window, id, dpi);
}

// WM_DRAWITEM of a paragraph's static text: white, and its lines as the paint draws them
// (its font, black on opaque white), whatever colours the static text's context was given.
void draw_paragraph(const DRAWITEMSTRUCT& item) {
  const int dpi = window_dpi_now;
  const layout::IntroParagraph& paragraph =
      layout::kIntroParagraphs[static_cast<std::size_t>(item.CtlID) - kFirstParagraphId];
  RECT at{};
  GetWindowRect(item.hwndItem, &at);
  MapWindowPoints(nullptr, GetParent(item.hwndItem), reinterpret_cast<POINT*>(&at), 2);
  const HDC dc = item.hDC;
  const int saved = SaveDC(dc);
  FillRect(dc, &item.rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const bool title = layout::kIntroPlaces[paragraph.first].title;
  const HFONT font =
      make_font(title ? layout::kTitleFont : layout::kBodyFont, RUSSIAN_CHARSET, dpi);
  SelectObject(dc, font);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, OPAQUE);
  for (std::size_t i = paragraph.first; i < paragraph.first + paragraph.count; ++i) {
    intro_line_out(dc, i, dpi, {at.left, at.top});
  }
  RestoreDC(dc, saved);
  DeleteObject(font);
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
    intro_line_out(dc, i, dpi, {0, 0});
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
  std::size_t paragraph = 0;
  for (const ChildControl& child : kControls) {
    for (; paragraph < layout::kIntroParagraphs.size() &&
           paragraph_before(paragraph) == child.control.id;
         ++paragraph) {
      create_paragraph(instance, window, paragraph, window_dpi_now);
    }
    const layout::Control c = scaled(child.control, window_dpi_now);
    const HWND handle = CreateWindowExW(
        0, child.window_class, wide(child.text).c_str(), child.style, c.x, c.y, c.width, c.height,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (c.id == layout::kModeList.id) mode_list = handle;
  }
  // Each control, and the question, gets a font of its own, kept for the life of the window
  // (or until the window moves to another DPI).
  for (const int id : kFontedIds) give_font(window, id, window_dpi_now);
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
    case WM_CTLCOLORSTATIC:
      // The question: black on white, as the paint draws it.
      if (reinterpret_cast<HWND>(lparam) == GetDlgItem(window, kQuestionId)) {
        const auto dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlType != ODT_STATIC || item->CtlID < kFirstParagraphId ||
          item->CtlID >= kFirstParagraphId + kParagraphs) {
        return DefWindowProcW(window, message, wparam, lparam);
      }
      draw_paragraph(*item);
      return TRUE;
    }
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
      for (const int id : kFontedIds) {
        DeleteObject(reinterpret_cast<HFONT>(SendDlgItemMessageW(window, id, WM_GETFONT, 0, 0)));
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

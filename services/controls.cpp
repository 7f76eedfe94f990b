// The built-in control types: EditBox, Button, Label, TransLabel, GroupBox.

#include <algorithm>

#include "services/win_text.h"
#include "services/window_loader.h"

namespace kestrin {

namespace {

constexpr wchar_t kLabelClass[] = L"KestrinLabel";
constexpr wchar_t kTransLabelClass[] = L"KestrinTransLabel";

DWORD ChildStyle(const ControlDefinition& definition) {
  return WS_CHILD | WS_CLIPSIBLINGS | (definition.state.tabStop ? WS_TABSTOP : 0u);
}

HWND CreateChild(DWORD exStyle, const wchar_t* className, DWORD style, const ControlInstance& control, HWND host,
                 int id) {
  const ControlDefinition& d = *control.definition;
  return CreateWindowExW(exStyle, className, Wide(d.text).c_str(), style, d.left, d.top, d.width, d.height, host,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// ---- EditBox: single line, automatic horizontal scrolling, client edge, black on white.

HWND CreateEditBox(ControlInstance& control, HWND host, int id) {
  const ControlDefinition& d = *control.definition;
  const DWORD style = ChildStyle(d) | ES_LEFT | ES_AUTOHSCROLL | (d.state.readOnly ? ES_READONLY : 0u);
  return CreateChild(WS_EX_CLIENTEDGE, L"EDIT", style, control, host, id);
}

void EditBoxCommand(ControlInstance& control, UINT code) {
  if (code == EN_CHANGE && !control.changeSuppressed) RaiseEvent(control.identity, event::kContentChanged);
}

HBRUSH EditBoxColours(ControlInstance& control, HDC dc) {
  SetTextColor(dc, control.definition->textColour);
  SetBkColor(dc, RGB(255, 255, 255));
  return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void EditBoxSetText(ControlInstance& control, std::string_view text) {
  control.changeSuppressed = true;
  SetWindowTextW(control.hwnd, Wide(text).c_str());
  control.changeSuppressed = false;
  RaiseEvent(control.identity, event::kContentChanged);
}

// ---- Button: push button, caption centred.

HWND CreateButton(ControlInstance& control, HWND host, int id) {
  const ControlDefinition& d = *control.definition;
  DWORD style = ChildStyle(d) | BS_CENTER | BS_VCENTER;
  style |= (d.options & control_option::kDefaultButton) != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  if ((d.options & control_option::kMultiline) != 0) style |= BS_MULTILINE;
  return CreateChild(0, L"BUTTON", style, control, host, id);
}

void ButtonCommand(ControlInstance& control, UINT code) {
  if (code == BN_CLICKED) RaiseEvent(control.identity, event::kClicked);
}

// ---- GroupBox: the system's frame and caption over a button-face interior.

HWND CreateGroupBox(ControlInstance& control, HWND host, int id) {
  return CreateChild(0, L"BUTTON", ChildStyle(*control.definition) | BS_GROUPBOX, control, host, id);
}

bool GroupBoxMessage(ControlInstance& control, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
  if (message != WM_ERASEBKGND) return false;
  RECT client;
  GetClientRect(control.hwnd, &client);
  FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
  *result = 1;
  return true;
}

HBRUSH GroupBoxColours(ControlInstance& control, HDC dc) {
  SetTextColor(dc, control.definition->textColour);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

// ---- Label and TransLabel: drawn here. A Label fills its rectangle with the button face and
// draws one line, vertically centred; a TransLabel draws no background and wraps its text (or one
// centred line with kSingleLine).

void PaintLabel(HWND hwnd, bool transparent) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client;
  GetClientRect(hwnd, &client);
  if (!transparent) FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const ControlInstance* control = FindControl(hwnd);
  const COLORREF colour = control != nullptr ? control->definition->textColour : kBlack;
  const bool singleLine = !transparent || (control != nullptr && (control->definition->options & control_option::kSingleLine) != 0);
  const int length = GetWindowTextLengthW(hwnd);
  if (length > 0) {
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, 0)));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, colour);
    UINT flags = DT_LEFT | DT_VCENTER;
    if (transparent) flags |= DT_NOCLIP;
    flags |= singleLine ? DT_SINGLELINE : DT_WORDBREAK;
    DrawTextW(dc, text.c_str(), copied, &client, flags);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
  }
  EndPaint(hwnd, &paint);
}

LRESULT LabelMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool transparent) {
  switch (message) {
    case WM_SETFONT:
      SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam) != 0) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
      if (transparent) {
        // What lies below shows through, so it is redrawn first.
        HWND parent = GetParent(hwnd);
        RECT rect;
        GetWindowRect(hwnd, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      } else {
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintLabel(hwnd, transparent);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return LabelMessage(hwnd, message, wParam, lParam, false);
}

LRESULT CALLBACK TransLabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return LabelMessage(hwnd, message, wParam, lParam, true);
}

void RegisterLabelClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
  EnsureWindowClass(name, procedure, background, sizeof(LONG_PTR));  // window data: the font
}

HWND CreateLabel(ControlInstance& control, HWND host, int id) {
  RegisterLabelClass(kLabelClass, LabelProc, GetSysColorBrush(COLOR_BTNFACE));
  return CreateChild(0, kLabelClass, ChildStyle(*control.definition), control, host, id);
}

HWND CreateTransLabel(ControlInstance& control, HWND host, int id) {
  RegisterLabelClass(kTransLabelClass, TransLabelProc, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
  return CreateChild(WS_EX_TRANSPARENT, kTransLabelClass, ChildStyle(*control.definition), control, host, id);
}

}  // namespace

void RegisterBuiltInControlTypes() {
  static const ControlTypeOps editBox{.create = CreateEditBox,
                                      .command = EditBoxCommand,
                                      .colours = EditBoxColours,
                                      .setText = EditBoxSetText};
  static const ControlTypeOps button{.create = CreateButton, .command = ButtonCommand};
  static const ControlTypeOps label{.create = CreateLabel};
  static const ControlTypeOps transLabel{.create = CreateTransLabel};
  static const ControlTypeOps groupBox{.create = CreateGroupBox, .colours = GroupBoxColours, .message = GroupBoxMessage};
  RegisterControlType(control_type::kEditBox, editBox);
  RegisterControlType(control_type::kButton, button);
  RegisterControlType(control_type::kLabel, label);
  RegisterControlType(control_type::kTransLabel, transLabel);
  RegisterControlType(control_type::kGroupBox, groupBox);
}

}  // namespace kestrin

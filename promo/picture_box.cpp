#include "promo/picture_box.h"

#include <memory>
#include <new>

#include "promo/picture.h"
#include "services/window_loader.h"

namespace kestrin {
namespace {

constexpr wchar_t kPictureBoxClass[] = L"KestrinPicBox";

Picture* PictureOf(const ControlInstance& box) { return static_cast<Picture*>(box.typeData); }

void Paint(ControlInstance& box) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(box.hwnd, &paint);
  RECT client;
  GetClientRect(box.hwnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  if (const Picture* picture = PictureOf(box)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = picture->height;  // positive: bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(picture->width), static_cast<DWORD>(picture->height), 0, 0, 0,
                      static_cast<UINT>(picture->height), picture->bits.data(), &info, DIB_RGB_COLORS);
  }
  EndPaint(box.hwnd, &paint);
}

bool PictureBoxMessage(ControlInstance& box, UINT message, WPARAM, LPARAM, LRESULT* result) {
  switch (message) {
    case WM_ERASEBKGND:  // painting fills the whole box
      *result = 1;
      return true;
    case WM_PAINT:
      Paint(box);
      *result = 0;
      return true;
    default:
      return false;
  }
}

HWND CreatePictureBox(ControlInstance& control, HWND host, int id) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  EnsureWindowClass(kPictureBoxClass, DefWindowProcW, GetSysColorBrush(COLOR_BTNFACE));
  const ControlDefinition& d = *control.definition;
  HWND hwnd = CreateWindowExW(0, kPictureBoxClass, L"", WS_CHILD | WS_CLIPSIBLINGS, d.left, d.top, d.width, d.height,
                              host, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (hwnd == nullptr) return nullptr;
  try {
    if (auto picture = DecodePicture(d.data)) {
      control.typeData = std::make_unique<Picture>(std::move(*picture)).release();
    }
  } catch (const std::bad_alloc&) {
    // Left out like a picture that does not decode.
  }
  return hwnd;
}

void DestroyPictureBox(ControlInstance& box) {
  delete PictureOf(box);
  box.typeData = nullptr;
}

}  // namespace

void RegisterPictureBoxType() {
  static const ControlTypeOps box{.create = CreatePictureBox, .message = PictureBoxMessage, .destroy = DestroyPictureBox};
  RegisterControlType(control_type::kPicBox, box);
}

}  // namespace kestrin

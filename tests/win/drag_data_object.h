#pragma once
// A data object for drags made by the tests: a shell file list (CF_HDROP with wide paths), plain
// text (CF_UNICODETEXT), or both. Each GetData hands out a fresh copy that the receiver releases.

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrin::testing {

struct DragData {
  std::optional<std::vector<std::wstring>> files;  // offered as CF_HDROP when set (may be empty)
  std::optional<std::wstring> text;                // offered as CF_UNICODETEXT when set
};

Microsoft::WRL::ComPtr<IDataObject> MakeDragDataObject(DragData data);

}  // namespace kestrin::testing

#include "drop/drop_target_sink.h"

#include "drop/effect_rule.h"

#include <shellapi.h>

#include <vector>

namespace kestrin {
namespace {

static_assert(MK_SHIFT == kKeyShift && MK_CONTROL == kKeyControl);
static_assert(DROPEFFECT_NONE == kEffectNone && DROPEFFECT_COPY == kEffectCopy && DROPEFFECT_MOVE == kEffectMove &&
              DROPEFFECT_LINK == kEffectLink);

FORMATETC FileListFormat() {
  FORMATETC format{};
  format.cfFormat = CF_HDROP;
  format.ptd = nullptr;
  format.dwAspect = DVASPECT_CONTENT;
  format.lindex = -1;
  format.tymed = TYMED_HGLOBAL;
  return format;
}

bool HasFileList(IDataObject* data) {
  if (data == nullptr) {
    return false;
  }
  FORMATETC format = FileListFormat();
  return data->QueryGetData(&format) == S_OK;
}

// A storage medium obtained from GetData, released on every path.
class StorageMedium {
 public:
  StorageMedium() = default;
  StorageMedium(const StorageMedium&) = delete;
  StorageMedium& operator=(const StorageMedium&) = delete;
  ~StorageMedium() {
    if (filled_) {
      ReleaseStgMedium(&medium_);
    }
  }
  bool Get(IDataObject* data) {
    FORMATETC format = FileListFormat();
    filled_ = data->GetData(&format, &medium_) == S_OK;
    return filled_;
  }
  const STGMEDIUM& medium() const { return medium_; }

 private:
  STGMEDIUM medium_{};
  bool filled_ = false;
};

void AppendUtf8(std::string& out, const wchar_t* text, int length) {
  if (length <= 0) {
    return;
  }
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) {
    return;
  }
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data() + start, bytes, nullptr, nullptr);
}

// The paths of a CF_HDROP file list in the system's order; each path's buffer is sized from the
// length the system reports.
std::string FileListText(HDROP files) {
  std::string text;
  const UINT count = DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0);
  std::vector<wchar_t> path;
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(files, i, nullptr, 0);
    path.assign(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = DragQueryFileW(files, i, path.data(), length + 1);
    AppendUtf8(text, path.data(), static_cast<int>(copied < length ? copied : length));
    if (count > 1) {
      text += "\r\n";
    }
  }
  return text;
}

}  // namespace

DropTargetSink::DropTargetSink(FilesDroppedListener& listener) : listener_(listener) {
  // Without the shell's drag-image object the sink works the same, only without drag images.
  if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(dragImageHelper_.GetAddressOf())))) {
    dragImageHelper_.Reset();
  }
}

HRESULT STDMETHODCALLTYPE DropTargetSink::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTargetSink::AddRef() {
  return static_cast<ULONG>(++referenceCount_);
}

ULONG STDMETHODCALLTYPE DropTargetSink::Release() {
  const LONG count = --referenceCount_;
  if (count == 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(count);
}

bool DropTargetSink::ApplyEffect(DWORD keyState, DWORD* effect) const {
  const DWORD allowed = effect != nullptr ? *effect : DROPEFFECT_NONE;
  const DropDecision decision = ApplyEffectRule(keyState, allowed, acceptable_);
  if (effect != nullptr) {
    *effect = decision.effect;
  }
  return decision.mayDrop;
}

HRESULT STDMETHODCALLTYPE DropTargetSink::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (dragImageHelper_) {
    POINT p{point.x, point.y};
    dragImageHelper_->DragEnter(registeredWindow_, data, &p, effect != nullptr ? *effect : DROPEFFECT_NONE);
  }
  acceptable_ = HasFileList(data);
  ApplyEffect(keyState, effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTargetSink::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  if (dragImageHelper_) {
    POINT p{point.x, point.y};
    dragImageHelper_->DragOver(&p, effect != nullptr ? *effect : DROPEFFECT_NONE);
  }
  ApplyEffect(keyState, effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTargetSink::DragLeave() {
  if (dragImageHelper_) {
    dragImageHelper_->DragLeave();
  }
  acceptable_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTargetSink::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (dragImageHelper_) {
    POINT p{point.x, point.y};
    dragImageHelper_->Drop(data, &p, effect != nullptr ? *effect : DROPEFFECT_NONE);
  }
  if (ApplyEffect(keyState, effect) && data != nullptr) {
    RaiseFilesDropped(data);
  }
  // The drop is answered with a failure also when the event was raised; the effect stays written.
  return E_FAIL;
}

void DropTargetSink::RaiseFilesDropped(IDataObject* data) {
  StorageMedium list;
  if (!list.Get(data) || list.medium().tymed != TYMED_HGLOBAL || list.medium().hGlobal == nullptr) {
    return;
  }
  try {
    const std::string text = FileListText(static_cast<HDROP>(list.medium().hGlobal));
    listener_.FilesDropped(text);
  } catch (...) {
    // Nothing may leave a COM method. (In the program an exhausted memory ends the process before
    // anything is thrown.)
  }
}

}  // namespace kestrin

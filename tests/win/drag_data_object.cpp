#include "drag_data_object.h"

#include <shlobj.h>

#include <cstring>
#include <utility>

namespace kestrin::testing {
namespace {

HGLOBAL CopyToGlobal(const void* bytes, std::size_t size) {
  HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (global == nullptr) {
    return nullptr;
  }
  void* target = GlobalLock(global);
  std::memcpy(target, bytes, size);
  GlobalUnlock(global);
  return global;
}

HGLOBAL FileList(const std::vector<std::wstring>& files) {
  std::vector<wchar_t> paths;
  for (const std::wstring& file : files) {
    paths.insert(paths.end(), file.begin(), file.end());
    paths.push_back(L'\0');
  }
  paths.push_back(L'\0');
  if (files.empty()) {
    paths.push_back(L'\0');
  }
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::vector<char> bytes(sizeof header + paths.size() * sizeof(wchar_t));
  std::memcpy(bytes.data(), &header, sizeof header);
  std::memcpy(bytes.data() + sizeof header, paths.data(), paths.size() * sizeof(wchar_t));
  return CopyToGlobal(bytes.data(), bytes.size());
}

class DragDataObject final : public IDataObject {
 public:
  explicit DragDataObject(DragData data) : data_(std::move(data)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&count_);
    if (count == 0) {
      delete this;
    }
    return static_cast<ULONG>(count);
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) {
      return DV_E_FORMATETC;
    }
    HGLOBAL global = nullptr;
    if (format->cfFormat == CF_HDROP) {
      global = FileList(*data_.files);
    } else {
      global = CopyToGlobal(data_.text->c_str(), (data_.text->size() + 1) * sizeof(wchar_t));
    }
    if (global == nullptr) {
      return E_OUTOFMEMORY;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = global;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (format == nullptr) {
      return E_INVALIDARG;
    }
    const bool offered = (format->cfFormat == CF_HDROP && data_.files) ||
                         (format->cfFormat == CF_UNICODETEXT && data_.text);
    if (!offered || (format->tymed & TYMED_HGLOBAL) == 0 || format->dwAspect != DVASPECT_CONTENT) {
      return DV_E_FORMATETC;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (direction != DATADIR_GET) {
      return E_NOTIMPL;
    }
    std::vector<FORMATETC> offered;
    if (data_.files) {
      offered.push_back({CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    }
    if (data_.text) {
      offered.push_back({CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    }
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(offered.size()), offered.data(), formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  ~DragDataObject() = default;

  LONG count_ = 1;
  DragData data_;
};

}  // namespace

Microsoft::WRL::ComPtr<IDataObject> MakeDragDataObject(DragData data) {
  Microsoft::WRL::ComPtr<IDataObject> object;
  object.Attach(new DragDataObject(std::move(data)));
  return object;
}

}  // namespace kestrin::testing

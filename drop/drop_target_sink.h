#pragma once
// DropTargetSink: the IDropTarget that the system calls during a drag over a registered window. It
// accepts drags that carry a shell file list (CF_HDROP), answers with the effect rule, and on a drop
// hands the dropped paths, as one UTF-8 text, to its listener.

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>

namespace kestrin {

// Receives the text of a drop: one path alone; two or more, each followed by "\r\n"; none, the
// empty text. The text lives only for the duration of the call.
class FilesDroppedListener {
 public:
  virtual void FilesDropped(const std::string& text) = 0;

 protected:
  ~FilesDroppedListener() = default;
};

class DropTargetSink final : public IDropTarget {
 public:
  // The count starts at 1: the creator's reference, given back with Release. The listener must
  // outlive the sink's registration.
  explicit DropTargetSink(FilesDroppedListener& listener);
  DropTargetSink(const DropTargetSink&) = delete;
  DropTargetSink& operator=(const DropTargetSink&) = delete;

  // The window handed to the drag-image object on DragEnter.
  void SetRegisteredWindow(HWND window) { registeredWindow_ = window; }
  bool HasDragImageHelper() const { return dragImageHelper_ != nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDropTarget
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

 private:
  ~DropTargetSink() = default;  // only through Release

  // Applies the effect rule to *effect (if given); true when a drop may go ahead.
  bool ApplyEffect(DWORD keyState, DWORD* effect) const;
  void RaiseFilesDropped(IDataObject* data);

  LONG referenceCount_ = 1;
  bool acceptable_ = false;
  HWND registeredWindow_ = nullptr;
  Microsoft::WRL::ComPtr<IDropTargetHelper> dragImageHelper_;
  FilesDroppedListener& listener_;
};

}  // namespace kestrin

#include "drop/drop_target_type.h"

#include "drop/drop_target.h"
#include "services/window_loader.h"

namespace kestrin {
namespace {

HWND CreateUnit(ControlInstance& control, HWND host, int id) {
  const ControlDefinition& d = *control.definition;
  const ControlIdentity identity = control.identity;
  DropTarget* unit = DropTarget::Create(
      host, {identity.window, identity.control}, d.left, d.top, d.width, d.height,
      [identity](const DropTarget&, const std::string& text) {
        // `text` is the unit's own copy of the paths, freed when the handler has returned.
        RaiseEvent(identity, event::kFilesDropped, EventArgs{text});
      });
  if (unit == nullptr) {
    return nullptr;
  }
  SetWindowLongPtrW(unit->window(), GWLP_ID, id);
  control.typeData = unit;
  return unit->window();
}

// The loader shows the controls whose definition says visible; this one stays hidden whatever its
// definition says.
void KeepHidden(ControlInstance& control) {
  ShowWindow(control.hwnd, SW_HIDE);
}

// The child window's final destruction: the unit is gone for the host from here on. The unit
// revokes the host's registration and deletes itself in its own window procedure right after.
void ForgetUnit(ControlInstance& control) {
  control.typeData = nullptr;
}

const ControlTypeOps kDropTargetOps{
    .create = CreateUnit,
    .finish = KeepHidden,
    .destroy = ForgetUnit,
};

}  // namespace

void RegisterDropTargetType() {
  RegisterControlType(control_type::kDropTarget, kDropTargetOps);
}

DropTarget* FindDropTarget(const WindowDefinition& window, std::string_view unit) {
  const LoadedWindow* loaded = FindLoadedWindow(window);
  if (loaded == nullptr) {
    return nullptr;
  }
  const ControlInstance* control = loaded->Find(unit);
  if (control == nullptr || control->type == nullptr || control->type->create != &CreateUnit) {
    return nullptr;
  }
  return static_cast<DropTarget*>(control->typeData);
}

bool RegisterDropWindow(const WindowDefinition& window, std::string_view unit, HWND host) {
  DropTarget* target = FindDropTarget(window, unit);
  return target != nullptr && target->RegisterDropWindow(host);
}

}  // namespace kestrin

#include "app/main_window.h"

#include "app/unit_stand_ins.h"
#include "engine/extract.h"
#include "services/runtime.h"
#include "services/text.h"
#include "services/window_loader.h"

namespace kestrin {

namespace {

void OnCreated(const EventArgs&) { RegisterDropWindow(kMainWindow, "拖放对象1", WindowHandle(kMainWindow)); }
void OnPathBoxChanged(const EventArgs&) { SetControlDisabled(kMainWindow, "按钮1", false); }
void OnFilesDropped(const EventArgs& args) { SetControlText(kMainWindow, "编辑框1", args.text); }
void OnExtractClicked(const EventArgs&) { ExtractIcons(); }
void OnDeleteClicked(const EventArgs&) { DeleteIcons(); }
void OnDetailsClicked(const EventArgs&) { ShowProjectDetails(); }
void OnRegister1Clicked(const EventArgs&) { OpenWebAddress(RegistrationAddress(1)); }
void OnRegister2Clicked(const EventArgs&) { OpenWebAddress(RegistrationAddress(2)); }
void OnRegister3Clicked(const EventArgs&) { OpenWebAddress(RegistrationAddress(3)); }
void OnRegister4Clicked(const EventArgs&) { OpenWebAddress(RegistrationAddress(4)); }

constexpr EventBinding kMainWindowEvents[] = {
    {"", event::kCreated, OnCreated},
    {"编辑框1", event::kContentChanged, OnPathBoxChanged},
    {"拖放对象1", event::kFilesDropped, OnFilesDropped},
    {"按钮1", event::kClicked, OnExtractClicked},
    {"删除按钮", event::kClicked, OnDeleteClicked},
    {"按钮2", event::kClicked, OnDetailsClicked},
    {"按钮3", event::kClicked, OnRegister1Clicked},
    {"按钮4", event::kClicked, OnRegister2Clicked},
    {"按钮5", event::kClicked, OnRegister3Clicked},
    {"按钮6", event::kClicked, OnRegister4Clicked},
};

constexpr std::int32_t kOutputFileCount = 100;

}  // namespace

constinit const WindowDefinition kMainWindow{kMainWindowProperties, kMainWindowControls, kMainWindowEvents};

std::string OutputFileName(std::int32_t n) { return JoinTexts({ProgramDirectory(), "\\", IntToText(n), ".ico"}); }

void ExtractIcons() {
  for (std::int32_t n = 1; n <= kOutputFileCount; ++n) {
    const std::string destination = OutputFileName(n);
    const std::string source = GetControlText(kMainWindow, "编辑框1");
    ExtractIconSet(source, 0, destination, n);
  }
  SetControlDisabled(kMainWindow, "删除按钮", false);
  Delay(1000);
  ShowMessage("提取成功");
}

void DeleteIcons() {
  for (std::int32_t n = 1; n <= kOutputFileCount; ++n) RemoveFile(OutputFileName(n));
  Delay(1000);
  ShowMessage("删除成功");
}

bool PrepareProgramDefinitions() {
  RegisterDropTargetType();
  return true;
}

}  // namespace kestrin

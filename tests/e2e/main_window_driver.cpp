// The main window end to end: the built program, copied into a temporary directory, is worked
// from outside. A path written into the path box enables the extract button; extracting shows
// "提取成功" no sooner than a second later and leaves the same files as the engine writes; deleting
// removes them and shows "删除成功"; closing the window ends the program with exit code 0.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/main_window_layout.h"
#include "driver.h"
#include "engine/extract.h"

namespace kestrin::e2e {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr WindowDefinition kLayout{kMainWindowProperties, kMainWindowControls, {}};
constexpr char kDefaultSource[] = "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\shell32.dll";

std::string Source() {
  const std::string source = DriverOptions().Get("source");
  return source.empty() ? std::string(kDefaultSource) : WindowsPath(source);
}

// What the engine writes for this source: the files n.ico, n = 1 ... 100, that it produces.
std::vector<std::optional<std::vector<std::byte>>> EngineOutput(const std::string& source) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::filesystem::path directory =
      std::filesystem::path(temp) / (L"kestrin-e2e-expected-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::create_directories(directory);
  std::vector<std::optional<std::vector<std::byte>>> files;
  for (int n = 1; n <= 100; ++n) {
    const std::string path = Narrow((directory / (std::to_wstring(n) + L".ico")).wstring());
    ExtractIconSet(source, 0, path, n);
    files.push_back(ReadFileBytes(path));
  }
  std::error_code error;
  std::filesystem::remove_all(directory, error);
  return files;
}

std::string OutputFile(const Program& program, int n) { return program.directory() + "\\" + std::to_string(n) + ".ico"; }

// Clicks the button, then watches for the program's message box: none may show within the first
// second. Returns the box and how long it took.
std::optional<MessageBoxInfo> ClickAndWaitForBox(const Program& program, HWND button, milliseconds* elapsed) {
  const auto start = steady_clock::now();
  Click(button);
  auto box = WaitForMessageBox(program.id(), 30000);
  *elapsed = std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
  return box;
}

TEST(ProgramResources, IconGroupVersionAndManifest) {
  HMODULE module = LoadLibraryExW(Wide(DriverOptions().program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC group = FindResourceW(module, L"DEFAULT_ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, group)));
  const DWORD size = SizeofResource(module, group);
  ASSERT_GE(size, 6u);
  const unsigned count = bytes[4] | bytes[5] << 8;
  ASSERT_EQ(size, 6u + 14u * count);
  std::vector<std::pair<int, int>> images;  // size in pixels, bits per pixel
  for (unsigned i = 0; i < count; ++i) {
    const std::uint8_t* entry = bytes + 6 + 14 * i;
    images.emplace_back(entry[0] == 0 ? 256 : entry[0], entry[6] | entry[7] << 8);
  }
  std::sort(images.begin(), images.end());
  const std::vector<std::pair<int, int>> expected{{16, 4}, {16, 8}, {16, 32}, {32, 4}, {32, 8},
                                                  {32, 32}, {48, 4}, {48, 8}, {48, 32}, {256, 8}};
  EXPECT_EQ(images, expected);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)), nullptr) << "version";   // RT_VERSION
  HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));                 // RT_MANIFEST
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                         SizeofResource(module, manifest));
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">false</dpiAware>"),
            std::string::npos);
  FreeLibrary(module);
}

TEST(MainWindowEndToEnd, ExtractDeleteAndClose) {
  const std::unique_ptr<Program> program = Program::StartCopy(DriverOptions().program);
  ASSERT_NE(program, nullptr) << "cannot start " << DriverOptions().program;

  HWND main = WaitForTopLevel(program->id(), "图标提取", {}, 30000);
  ASSERT_NE(main, nullptr) << "no window of class 图标提取";
  EXPECT_EQ(TextOf(main), "KestrinIOC图标提取工具");
  RECT rect;
  GetWindowRect(main, &rect);
  EXPECT_EQ(rect.right - rect.left, 380);
  EXPECT_EQ(rect.bottom - rect.top, 323);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 380) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 323) / 2);

  HWND pathBox = FindControl(main, kLayout, "编辑框1");
  HWND extract = FindControl(main, kLayout, "按钮1");
  HWND remove = FindControl(main, kLayout, "删除按钮");
  ASSERT_TRUE(pathBox != nullptr && extract != nullptr && remove != nullptr);
  EXPECT_EQ(ClassOf(pathBox), "Edit");
  EXPECT_EQ(TextOf(extract), "提取");
  EXPECT_EQ(TextOf(remove), "删除所有图标");
  Sleep(500);  // let it paint
  EXPECT_TRUE(SaveScreenshot(main, DriverOptions().Artifact("main-window.png")));

  // Both commands start disabled: a click does nothing.
  EXPECT_FALSE(IsWindowEnabled(extract));
  EXPECT_FALSE(IsWindowEnabled(remove));
  Click(extract);
  EXPECT_FALSE(WaitFor([&] { return FindMessageBox(program->id()).has_value(); }, milliseconds(1500)))
      << "a disabled 按钮1 ran the extraction";

  // A change of the path box's text enables 按钮1.
  const std::string source = Source();
  SendMessageW(pathBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(source).c_str()));
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(extract) != FALSE; }, milliseconds(5000)))
      << "content changed of 编辑框1 did not enable 按钮1";
  EXPECT_EQ(TextOf(pathBox), source);
  EXPECT_FALSE(IsWindowEnabled(remove));
  EXPECT_TRUE(SaveScreenshot(main, DriverOptions().Artifact("main-window-path.png")));

  // Extract.
  milliseconds elapsed{};
  std::optional<MessageBoxInfo> box = ClickAndWaitForBox(*program, extract, &elapsed);
  ASSERT_TRUE(box.has_value()) << "no message box after 按钮1";
  EXPECT_GE(elapsed.count(), 1000) << "the box came before the 1000 ms delay";
  EXPECT_EQ(box->caption, "信息：");
  EXPECT_EQ(box->text, "提取成功");
  EXPECT_EQ(box->buttons.size(), 1u) << "OK only";
  EXPECT_FALSE(box->hasIcon);
  EXPECT_EQ(box->owner, nullptr);
  EXPECT_FALSE(IsWindowEnabled(main)) << "task-modal: the main window is disabled while the box shows";
  EXPECT_TRUE(IsWindowEnabled(remove)) << "删除按钮 is enabled by the extraction";
  EXPECT_TRUE(SaveScreenshot(box->hwnd, DriverOptions().Artifact("main-window-extracted.png")));

  const auto expected = EngineOutput(source);
  int written = 0;
  for (int n = 1; n <= 100; ++n) {
    const auto actual = ReadFileBytes(OutputFile(*program, n));
    ASSERT_EQ(actual.has_value(), expected[n - 1].has_value()) << n << ".ico";
    if (actual) {
      EXPECT_TRUE(*actual == *expected[n - 1]) << n << ".ico differs from the engine's";
      ++written;
    }
  }
  std::printf("extraction of %s wrote %d icon files, as the engine does\n", source.c_str(), written);
  ASSERT_TRUE(DismissMessageBox(*box));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(main) != FALSE; }, milliseconds(3000)));

  // Delete.
  box = ClickAndWaitForBox(*program, remove, &elapsed);
  ASSERT_TRUE(box.has_value()) << "no message box after 删除按钮";
  EXPECT_GE(elapsed.count(), 1000);
  EXPECT_EQ(box->caption, "信息：");
  EXPECT_EQ(box->text, "删除成功");
  EXPECT_EQ(box->buttons.size(), 1u);
  EXPECT_FALSE(box->hasIcon);
  for (int n = 1; n <= 100; ++n) EXPECT_FALSE(FileExists(OutputFile(*program, n))) << n << ".ico left behind";
  ASSERT_TRUE(DismissMessageBox(*box));
  EXPECT_TRUE(IsWindowEnabled(remove)) << "删除按钮 stays enabled";
  EXPECT_TRUE(IsWindowEnabled(extract));

  // Closing the main window ends the program with exit code 0.
  PostMessageW(main, WM_CLOSE, 0, 0);
  const std::optional<DWORD> exitCode = program->WaitForExit(15000);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after its window was closed";
  EXPECT_EQ(*exitCode, 0u);
}

}  // namespace
}  // namespace kestrin::e2e

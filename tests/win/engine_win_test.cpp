// The engine's Windows file layer and its reading of executables, checked against Windows itself.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/extract.h"
#include "engine/icon_file.h"
#include "engine_test_support.h"

namespace kestrin {
namespace {

using test::Bytes;

std::wstring Wide(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Another process that opens `path` with no sharing and holds it until it is ended.
class Holder {
 public:
  explicit Holder(const std::string& path) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    static int holders = 0;
    std::wstring ready = L"kestrin-hold-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++holders);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    std::wstring command = L"\"" + std::wstring(self) + L"\" --hold \"" + Wide(path) + L"\" " + ready;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_);
    if (started_) WaitForSingleObject(ready_, 20000);
  }
  ~Holder() {
    if (started_) {
      TerminateProcess(process_.hProcess, 0);
      WaitForSingleObject(process_.hProcess, 20000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    CloseHandle(ready_);
  }
  bool Started() const { return started_; }

 private:
  HANDLE ready_ = nullptr;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST(WindowsFiles, SourceHeldOpenByAnotherProcessReadsAsNothing) {
  test::TempDir dir;
  std::string source = dir.Path("held.ico");
  std::string library = dir.Path("held.dll");
  test::WriteAll(source, test::IconFile({test::BitmapImage(16, 32, 1, 4)}));
  test::WriteAll(library, test::ReadAll(test::FixturePath("names32.dll")));
  {
    Holder holdIcon(source);
    Holder holdLibrary(library);
    ASSERT_TRUE(holdIcon.Started() && holdLibrary.Started());
    EXPECT_FALSE(ReadIconFile(source));
    EXPECT_EQ(ExtractIconSet(source, 0, dir.Path("1.ico"), 1), 1);  // an icon file counts, unread
    EXPECT_EQ(ExtractIconSet(library, 0, dir.Path("2.ico"), 1), 0);  // an executable can't be loaded
    EXPECT_FALSE(test::Exists(dir.Path("1.ico")));
    EXPECT_FALSE(test::Exists(dir.Path("2.ico")));
  }
  EXPECT_TRUE(ReadIconFile(source));
  EXPECT_EQ(ExtractIconSet(library, 0, dir.Path("2.ico"), 1), 3);
  // Our own open is exclusive too, and it is closed again on every path.
  EXPECT_EQ(ExtractIconSet(library, 0, dir.Path("2.ico"), 9), 0);
  HANDLE again = CreateFileW(Wide(library).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST(WindowsFiles, DestinationThatCannotBeCreatedKeepsTheOldFile) {
  test::TempDir dir;
  const Bytes old = {std::byte{'o'}, std::byte{'l'}, std::byte{'d'}};
  std::string source = test::FixturePath("six.ico");

  std::string busy = dir.Path("busy.ico");
  test::WriteAll(busy, old);
  {
    Holder hold(busy);
    ASSERT_TRUE(hold.Started());
    EXPECT_EQ(ExtractIconSet(source, 0, busy, 1), 1);
  }
  EXPECT_EQ(test::ReadAll(busy), old);

  EXPECT_EQ(ExtractIconSet(source, 0, dir.Path("missing\\dir\\1.ico"), 1), 1);
  EXPECT_FALSE(test::Exists(dir.Path("missing")));
}

TEST(WindowsFiles, PathsInAnyScriptReachTheFiles) {
  test::TempDir dir;
  std::string source = dir.Path("图标.ico");
  std::string destination = dir.Path("输出 1.ico");
  test::WriteAll(source, test::ReadAll(test::FixturePath("six.ico")));
  EXPECT_EQ(ExtractIconSet(source, 0, destination, 1), 1);
  EXPECT_TRUE(ReadIconFile(destination));
}

struct GroupsFromWindows {
  std::vector<std::wstring> names;  // "#n" for numbers, as the enumeration delivers them
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
  auto* groups = reinterpret_cast<GroupsFromWindows*>(context);
  groups->names.push_back(IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                               : std::wstring(name));
  return TRUE;
}

Bytes ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const auto* bytes = static_cast<const std::byte*>(LockResource(loaded));
  return Bytes(bytes, bytes + SizeofResource(module, found));
}

// Windows' own loader, enumeration and resource functions agree with what the engine writes.
TEST(WindowsResources, ExtractionMatchesTheSystemsOwnResourceFunctions) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    std::string source = test::WineLibraryPath("shell32.dll", wide);
    HMODULE module = LoadLibraryExW(Wide(source).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    GroupsFromWindows groups;
    EnumResourceNamesW(module, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_EQ(groups.names.size(), 184u);
    test::TempDir dir;
    for (int n = 1; n <= 100; ++n) {
      std::string destination = dir.Path(std::to_string(n) + ".ico");
      ASSERT_EQ(ExtractIconSet(source, 0, destination, n), 184);
      auto written = ReadIconFile(destination);
      ASSERT_TRUE(written);
      Bytes group = ResourceBytes(module, RT_GROUP_ICON, groups.names[n - 1].c_str());
      ASSERT_GE(group.size(), 6u);
      std::uint16_t members = test::U16At(group, 4);
      ASSERT_EQ(written->imageCount, members) << n;
      for (std::uint16_t i = 0; i < members; ++i) {
        std::uint16_t id = test::U16At(group, 6 + 14 * i + 12);
        Bytes expected = ResourceBytes(module, RT_ICON, MAKEINTRESOURCEW(id));
        if (FormOf(expected) == ImageForm::Bitmap) std::fill_n(expected.begin() + 20, 4, std::byte{0});
        EXPECT_EQ(written->images[i].bytes, expected) << "rank " << n << " member " << i;
      }
    }
    FreeLibrary(module);
  }
}

}  // namespace
}  // namespace kestrin

int main(int argc, char** argv) {
  // Helper mode of Holder: open the file with no sharing, tell the test, wait to be ended.
  if (argc == 4 && std::string(argv[1]) == "--hold") {
    HANDLE file = CreateFileW(kestrin::Wide(argv[2]).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, kestrin::Wide(argv[3]).c_str());
    if (ready != nullptr) SetEvent(ready);
    Sleep(file == INVALID_HANDLE_VALUE ? 0 : 60000);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The drop target's sink and unit, in-process under Wine: the sink is called as the system calls it
// during a drag, with data objects made by the test.

#include "drop/drop_target.h"
#include "drop/drop_target_sink.h"

#include "drag_data_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrin {
namespace {

using Microsoft::WRL::ComPtr;
using testing::DragData;
using testing::MakeDragDataObject;

class OleThread : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override { OleUninitialize(); }
};

struct RecordingListener final : FilesDroppedListener {
  void FilesDropped(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

// Owns the creator's reference of a sink.
struct SinkOwner {
  explicit SinkOwner(FilesDroppedListener& listener) : sink(new DropTargetSink(listener)) {}
  ~SinkOwner() { sink->Release(); }
  DropTargetSink* sink;
};

using SinkUnknown = OleThread;

TEST_F(SinkUnknown, AnswersForUnknownAndDropTargetOnlyAndCountsReferences) {
  RecordingListener listener;
  auto* sink = new DropTargetSink(listener);

  void* unknown = nullptr;
  ASSERT_EQ(sink->QueryInterface(IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<IDropTarget*>(sink));
  void* target = nullptr;
  ASSERT_EQ(sink->QueryInterface(IID_IDropTarget, &target), S_OK);
  EXPECT_EQ(target, static_cast<IDropTarget*>(sink));

  for (REFIID other : {IID_IDataObject, IID_IDropSource, IID_IClassFactory}) {
    void* object = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(sink->QueryInterface(other, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
  }

  // 1 at construction, one each for the two answered queries.
  EXPECT_EQ(sink->AddRef(), 4u);
  EXPECT_EQ(sink->Release(), 3u);
  EXPECT_EQ(sink->Release(), 2u);
  EXPECT_EQ(sink->Release(), 1u);
  EXPECT_EQ(sink->Release(), 0u);
}

TEST_F(SinkUnknown, UsesTheShellsDragImageObject) {
  RecordingListener listener;
  SinkOwner owner(listener);
  EXPECT_TRUE(owner.sink->HasDragImageHelper());
}

struct DragCase {
  const char* name;
  DragData data;
  DWORD keysAtEnter;
  DWORD keysAtDrop;
  DWORD allowed;
  DWORD effectAtEnter;
  DWORD effectAtDrop;
  std::optional<std::string> raised;  // the one text raised, or nothing
};

const std::wstring kLongName(300, L'n');

std::vector<DragCase> DragCases() {
  const DWORD copyMove = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  return {
      {"PlainTextOnlyIsRefused", {std::nullopt, L"just text"}, 0, 0, all, DROPEFFECT_NONE, DROPEFFECT_NONE,
       std::nullopt},
      {"EmptyFileListRaisesEmptyText", {std::vector<std::wstring>{}, std::nullopt}, 0, 0, copyMove, DROPEFFECT_COPY,
       DROPEFFECT_COPY, ""},
      {"OnePathAloneWithoutLineBreak", {std::vector<std::wstring>{L"C:\\app\\tool.exe"}, std::nullopt}, 0, 0,
       copyMove, DROPEFFECT_COPY, DROPEFFECT_COPY, "C:\\app\\tool.exe"},
      {"ThreePathsEachFollowedByLineBreak",
       {std::vector<std::wstring>{L"C:\\a.exe", L"C:\\dir\\b.dll", L"D:\\c.ico"}, L"also text"}, 0, 0, copyMove,
       DROPEFFECT_COPY, DROPEFFECT_COPY, "C:\\a.exe\r\nC:\\dir\\b.dll\r\nD:\\c.ico\r\n"},
      {"PathInAnyScriptArrivesAsUtf8",
       {std::vector<std::wstring>{L"C:\\\u56fe\u6807\\\u0444\u0430\u0439\u043b.ico"}, std::nullopt}, 0, 0, copyMove,
       DROPEFFECT_COPY, DROPEFFECT_COPY, "C:\\\xe5\x9b\xbe\xe6\xa0\x87\\\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.ico"},
      {"PathLongerThanMaxPathArrivesWhole", {std::vector<std::wstring>{L"C:\\" + kLongName + L"\\" + kLongName},
                                             std::nullopt},
       0, 0, copyMove, DROPEFFECT_COPY, DROPEFFECT_COPY,
       "C:\\" + std::string(300, 'n') + "\\" + std::string(300, 'n')},
      {"ShiftMoves", {std::vector<std::wstring>{L"C:\\a.ico"}, std::nullopt}, MK_SHIFT, MK_SHIFT, copyMove,
       DROPEFFECT_MOVE, DROPEFFECT_MOVE, "C:\\a.ico"},
      {"LinkOnlySourceWithNoKeyLinks", {std::vector<std::wstring>{L"C:\\a.ico"}, std::nullopt}, 0, 0,
       DROPEFFECT_LINK, DROPEFFECT_LINK, DROPEFFECT_LINK, "C:\\a.ico"},
      {"ControlAndShiftAtTheDropRaiseNothing", {std::vector<std::wstring>{L"C:\\a.ico"}, std::nullopt}, 0,
       MK_CONTROL | MK_SHIFT, all, DROPEFFECT_COPY, DROPEFFECT_NONE, std::nullopt},
      {"ControlOnMoveOnlySourceRaisesNothing", {std::vector<std::wstring>{L"C:\\a.ico"}, std::nullopt}, MK_CONTROL,
       MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_NONE, DROPEFFECT_NONE, std::nullopt},
  };
}

class SinkDrag : public OleThread, public ::testing::WithParamInterface<DragCase> {};

TEST_P(SinkDrag, EnterOverAndDrop) {
  const DragCase& c = GetParam();
  RecordingListener listener;
  SinkOwner owner(listener);
  ComPtr<IDataObject> data = MakeDragDataObject(c.data);
  const POINTL point{10, 10};

  DWORD effect = c.allowed;
  EXPECT_EQ(owner.sink->DragEnter(data.Get(), c.keysAtEnter | MK_LBUTTON, point, &effect), S_OK);
  EXPECT_EQ(effect, c.effectAtEnter);

  effect = c.allowed;
  EXPECT_EQ(owner.sink->DragOver(c.keysAtEnter | MK_LBUTTON, point, &effect), S_OK);
  EXPECT_EQ(effect, c.effectAtEnter);

  effect = c.allowed;
  EXPECT_EQ(owner.sink->Drop(data.Get(), c.keysAtDrop, point, &effect), E_FAIL);
  EXPECT_EQ(effect, c.effectAtDrop);

  if (c.raised) {
    EXPECT_THAT(listener.texts, ::testing::ElementsAre(*c.raised));
  } else {
    EXPECT_THAT(listener.texts, ::testing::IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SinkDrag, ::testing::ValuesIn(DragCases()),
                         [](const auto& info) { return std::string(info.param.name); });

using SinkLeave = OleThread;

TEST_F(SinkLeave, LeavingClearsAcceptanceUntilTheNextEnter) {
  RecordingListener listener;
  SinkOwner owner(listener);
  ComPtr<IDataObject> files = MakeDragDataObject({std::vector<std::wstring>{L"C:\\a.ico"}, std::nullopt});
  ComPtr<IDataObject> text = MakeDragDataObject({std::nullopt, L"text"});
  const POINTL point{0, 0};
  DWORD effect = DROPEFFECT_COPY;

  ASSERT_EQ(owner.sink->DragEnter(files.Get(), 0, point, &effect), S_OK);
  ASSERT_EQ(effect, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(owner.sink->DragLeave(), S_OK);
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(owner.sink->DragOver(0, point, &effect), S_OK);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(owner.sink->Drop(files.Get(), 0, point, &effect), E_FAIL);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});

  // A later drag of text only is judged by its own data, not the earlier one.
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(owner.sink->DragEnter(text.Get(), 0, point, &effect), S_OK);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
  EXPECT_THAT(listener.texts, ::testing::IsEmpty());
}

// A hidden top-level window to hold units; destroyed at the end of each test.
class HostWindow : public OleThread {
 protected:
  void SetUp() override {
    OleThread::SetUp();
    host = CreateWindowExW(0, L"STATIC", L"drop host", WS_OVERLAPPED | WS_CLIPCHILDREN, 0, 0, 200, 150, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
  }
  void TearDown() override {
    if (host != nullptr) {
      DestroyWindow(host);
    }
    OleThread::TearDown();
  }

  DropTarget* CreateUnit() {
    return DropTarget::Create(
        host, {7, 8}, 16, 72, 24, 24, [this](const DropTarget&, const std::string& text) { raised.push_back(text); },
        [this](const DropTarget& unit) { gone.push_back(unit.identity().unitId); });
  }

  HWND host = nullptr;
  std::vector<std::string> raised;
  std::vector<std::uint32_t> gone;
};

using DropTargetUnit = HostWindow;

TEST_F(DropTargetUnit, ChildWindowIsHiddenWhiteArrowAndUntitled) {
  DropTarget* unit = CreateUnit();
  ASSERT_NE(unit, nullptr);
  const HWND window = unit->window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), host);
  EXPECT_FALSE(IsWindowVisible(window));
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE), WS_CHILD | WS_CLIPSIBLINGS);
  EXPECT_EQ(GetWindowTextLengthW(window), 0);
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)), GetStockObject(WHITE_BRUSH));
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 16);
  EXPECT_EQ(rect.top, 72);
  EXPECT_EQ(rect.right - rect.left, 24);
  EXPECT_EQ(rect.bottom - rect.top, 24);
  EXPECT_EQ(unit->identity().windowId, 7u);
  EXPECT_EQ(unit->identity().unitId, 8u);
}

TEST_F(DropTargetUnit, SecondRegistrationIsRefusedAndTheFirstStays) {
  DropTarget* unit = CreateUnit();
  ASSERT_NE(unit, nullptr);
  EXPECT_TRUE(unit->RegisterDropWindow(host));
  EXPECT_FALSE(unit->RegisterDropWindow(host));
  EXPECT_EQ(unit->registeredWindow(), host);
  // The host is still registered by the first call: a further registration by anyone fails.
  RecordingListener listener;
  SinkOwner other(listener);
  EXPECT_EQ(RegisterDragDrop(host, other.sink), DRAGDROP_E_ALREADYREGISTERED);
}

TEST_F(DropTargetUnit, FailedRegistrationStaysRecorded) {
  DropTarget* unit = CreateUnit();
  ASSERT_NE(unit, nullptr);
  RecordingListener listener;
  SinkOwner other(listener);
  ASSERT_EQ(RegisterDragDrop(host, other.sink), S_OK);  // another party holds the host
  EXPECT_FALSE(unit->RegisterDropWindow(host));
  ASSERT_EQ(RevokeDragDrop(host), S_OK);
  EXPECT_FALSE(unit->RegisterDropWindow(host));  // recorded, so not tried again
  // The unit registered nothing.
  EXPECT_EQ(RegisterDragDrop(host, other.sink), S_OK);
  EXPECT_EQ(RevokeDragDrop(host), S_OK);
}

TEST_F(DropTargetUnit, NullHandleFailsAndLeavesNothingRecorded) {
  DropTarget* unit = CreateUnit();
  ASSERT_NE(unit, nullptr);
  EXPECT_FALSE(unit->RegisterDropWindow(nullptr));
  EXPECT_TRUE(unit->RegisterDropWindow(host));
}

TEST_F(DropTargetUnit, DestroyingTheChildWindowRevokesTheHostAndEndsTheUnit) {
  DropTarget* unit = CreateUnit();
  ASSERT_NE(unit, nullptr);
  ASSERT_TRUE(unit->RegisterDropWindow(host));
  DestroyWindow(unit->window());  // the unit is gone from here on
  EXPECT_THAT(gone, ::testing::ElementsAre(8u));

  RecordingListener listener;
  SinkOwner other(listener);
  EXPECT_EQ(RegisterDragDrop(host, other.sink), S_OK);
  EXPECT_EQ(RevokeDragDrop(host), S_OK);
}

TEST_F(DropTargetUnit, DestroyingTheHostEndsTheUnitOnce) {
  DropTarget* unit = CreateUnit();
  ASSERT_NE(unit, nullptr);
  ASSERT_TRUE(unit->RegisterDropWindow(host));
  DestroyWindow(host);
  host = nullptr;
  EXPECT_THAT(gone, ::testing::ElementsAre(8u));
}

}  // namespace
}  // namespace kestrin

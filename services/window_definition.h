#pragma once
// A window as data: a table of its properties, a table of its controls and a table that binds
// (control, event) to a handler. One loader (services/window_loader.h) builds any definition.
// Portable: no Windows header, so definitions can be inspected by native code and by test drivers.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrin {

// Control type names as they appear in definitions. The loader knows a type only once it has been
// registered (RegisterControlType); the built-in ones are EditBox, Button, Label, TransLabel and
// GroupBox, the others are registered by the modules that implement them.
namespace control_type {
inline constexpr std::string_view kEditBox = "EditBox";
inline constexpr std::string_view kButton = "Button";
inline constexpr std::string_view kLabel = "Label";
inline constexpr std::string_view kTransLabel = "TransLabel";
inline constexpr std::string_view kGroupBox = "GroupBox";
inline constexpr std::string_view kPicBox = "PicBox";
inline constexpr std::string_view kTab = "Tab";
inline constexpr std::string_view kDropTarget = "DropTarget";
}  // namespace control_type

// Events, numbered per control type (each number is used by one type only).
using EventNumber = std::int32_t;
namespace event {
inline constexpr EventNumber kCreated = 1;         // window: after it and its controls exist, before first show
inline constexpr EventNumber kContentChanged = 2;  // EditBox: its text changed, or SetControlText wrote it
inline constexpr EventNumber kClicked = 3;         // Button
inline constexpr EventNumber kFilesDropped = 4;    // DropTarget: text argument, the dropped paths
inline constexpr EventNumber kPageChanged = 5;     // Tab: the selected page changed
}  // namespace event

// The arguments of an event. The text is valid only while the handler runs; a handler that keeps
// it copies it.
struct EventArgs {
  std::string_view text;
};
using EventHandler = void (*)(const EventArgs& args);

// Initial state of a control.
struct ControlState {
  bool visible = true;
  bool disabled = false;
  bool tabStop = false;
  bool readOnly = false;  // EditBox
};

// Look of a control beyond its type's defaults.
namespace control_option {
inline constexpr std::uint32_t kSingleLine = 1u << 0;     // TransLabel: one line, vertically centred
inline constexpr std::uint32_t kDefaultButton = 1u << 1;  // Button: default-button look
inline constexpr std::uint32_t kMultiline = 1u << 2;      // Button: caption wrapped onto several lines
}  // namespace control_option

inline constexpr std::uint32_t kBlack = 0x000000;  // colours as 0x00BBGGRR, like COLORREF

struct ControlDefinition {
  std::string_view name;       // unique within its window
  std::string_view type;       // a control_type name
  std::string_view container;  // empty: the window itself; else the name of a GroupBox or Tab
  std::int32_t left = 0;       // relative to the container's client area
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string_view text;
  ControlState state;
  std::int32_t page = 0;  // 1-based page of a Tab container; 0 when the container has no pages
  // Stacking among siblings: ascending rank, then table order; the first is on top. 0 for all
  // controls gives the table order.
  std::int32_t stackRank = 0;
  std::uint32_t options = 0;     // control_option bits
  std::uint32_t textColour = kBlack;
  std::span<const std::string_view> items;  // Tab: the page titles
  std::span<const std::byte> data;          // PicBox: the picture's bytes

  // For tables: Control(...) gives the common columns, these add the rest.
  constexpr ControlDefinition OnPage(std::int32_t value) const { auto c = *this; c.page = value; return c; }
  constexpr ControlDefinition Ranked(std::int32_t value) const { auto c = *this; c.stackRank = value; return c; }
  constexpr ControlDefinition WithOptions(std::uint32_t value) const { auto c = *this; c.options = value; return c; }
  constexpr ControlDefinition WithColour(std::uint32_t value) const { auto c = *this; c.textColour = value; return c; }
  constexpr ControlDefinition WithItems(std::span<const std::string_view> value) const { auto c = *this; c.items = value; return c; }
  constexpr ControlDefinition WithData(std::span<const std::byte> value) const { auto c = *this; c.data = value; return c; }
};

// One row of a control table: name, type, container, left, top, width, height, text, state.
constexpr ControlDefinition Control(std::string_view name, std::string_view type, std::string_view container,
                                    std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                                    std::string_view text, ControlState state) {
  ControlDefinition c;
  c.name = name;
  c.type = type;
  c.container = container;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.text = text;
  c.state = state;
  return c;
}

// The window's own events are bound with an empty control name.
struct EventBinding {
  std::string_view control;
  EventNumber event = 0;
  EventHandler handler = nullptr;
};

struct WindowProperties {
  std::string_view name;       // the definition's name, for messages
  std::string_view className;  // empty: the loader chooses one
  std::string_view caption;
  std::int32_t width = 0;  // outer size
  std::int32_t height = 0;
  bool centred = true;  // left = (screen width - width) / 2, top likewise, integer division
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::uint32_t style = 0;  // window styles (WS_*) and extended styles (WS_EX_*)
  std::uint32_t exStyle = 0;
  std::uint32_t classStyle = 0;  // CS_* of the window class, registered on first use
};

struct WindowDefinition {
  WindowProperties properties;
  std::span<const ControlDefinition> controls;
  std::span<const EventBinding> events;
};

// The control's 1-based row in its definition's control table, which the loader also uses as the
// control's window id; 0 when there is no such control.
inline std::int32_t ControlRow(const WindowDefinition& window, std::string_view name) {
  for (std::size_t i = 0; i < window.controls.size(); ++i) {
    if (window.controls[i].name == name) return static_cast<std::int32_t>(i + 1);
  }
  return 0;
}

}  // namespace kestrin

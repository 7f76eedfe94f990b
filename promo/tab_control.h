#pragma once
// The Tab control type: the system tab control with one row of tabs on top, and pages of controls.
//
// A control whose container is the tab and whose page is n (1-based) is on page n. The controls of
// a page, in stacking order (rank, then table order), form the page's list. After the window is
// built, and whenever the user selects another tab, the page switch runs: every visible control of
// another page is hidden, each control of the selected page whose stored visible flag is set is
// shown without activation, and the first of them (in table order) that is enabled and can take the
// keyboard focus receives it. A control inside a group box follows its group box.

namespace kestrin {

// Registers "Tab" with the window loader; harmless when it is registered already.
void RegisterTabControlType();

}  // namespace kestrin

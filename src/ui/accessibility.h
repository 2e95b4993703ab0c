// SPDX-License-Identifier: MIT
#pragma once

// How the panel's own widgets present themselves to assistive technology (screen readers, and
// test tools that read the accessibility tree): a label as read-only text whose name is that
// text, the status line as a notification that shows with every change (screen readers speak
// it wherever the focus is), a frame as a group, the picture as a graphic
// whose action does what its double-click does, the window as a window, the decorative lines not
// at all. Buttons, option buttons and the CMD box are Qt's own, named by the layout table.
namespace accessibility {

// Teaches Qt these presentations; calling it again changes nothing.
void install();

} // namespace accessibility

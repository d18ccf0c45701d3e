// What assistive technology gets from the Qt window beyond Qt's own answers:
// Form1 as a window (not a plain widget), and each LinkLabel as a link with
// its address as description and one action that opens it. Names and
// descriptions are the widgets' accessibleName and accessibleDescription.
#pragma once

namespace textquirl {

// Adds the window's accessible interfaces to Qt's; the second and later
// calls do nothing. Call before the first Form1 is asked for its interface
// (Form1's constructor does).
void install_accessible_interfaces();

}  // namespace textquirl

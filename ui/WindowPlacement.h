// Placement shared by the windows: centring a top-level window on the screen it opens on.
#pragma once

class QWidget;

namespace morvex {

// Centres the window's outer frame on its screen (the primary one before the window has a screen of its own).
// Before the first show the frame is unknown, so the client size stands in for it.
void CentreOnScreen(QWidget& window);

}  // namespace morvex

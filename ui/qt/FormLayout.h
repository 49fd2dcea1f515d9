// What both windows share about their forms: twips to pixels, the dialog font, and centring on the screen.
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace morvex {

// The forms were laid out in twips; at 96 dpi fifteen of them make a pixel.
inline constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }
inline QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

// The forms' captions were sized for a compact 8-point sans serif at 96 dpi (11 pixels); a wider desktop font
// would clip them, so the forms ask for one of that size and proportion.
QFont DialogFont(bool bBold = false);

// Centres the window's outer frame on its screen (the primary one before the window has a screen of its own).
// Before the first show the frame is unknown, so the client size stands in for it.
void CentreOnScreen(QWidget& window);

// For a window just shown: centres it now, and if the window manager has not framed it yet, once more when
// the frame arrives. Under X the frame is put around the window some time after it is mapped, and centring
// by the client size alone leaves the window half a title bar low.
void CentreOnScreenOnceFramed(QWidget& window);

}  // namespace morvex

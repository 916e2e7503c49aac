// The pieces of the window the Windows API has no ready control for: the frame that holds
// the command column (a container that draws itself as a group box, its caption the
// window text, and passes its controls' notifications on to the window), the fonts of the design,
// captions kept inside their designed boxes, and the picture beside the product name.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// Registers the frame's window class; once per program.
void registerFrameClass(HINSTANCE instance);
// A frame captioned `caption`: controls made with it as parent are placed relative to its
// top-left corner, and their clicks and drawing requests reach the frame's parent.
HWND makeFrame(HWND parent, const std::wstring& caption, HMENU id, HINSTANCE instance, HFONT font);

// The design's fonts at `dpi`: the window's 8-point font, or the 9-point fixed-pitch font
// of the file list, the status line and the log pane.
HFONT designFont(int dpi, int points, bool fixedPitch);
// Where this system's font runs wider than a button's or check box's designed box, gives
// the control a smaller font until its caption fits.
void fitCaption(HWND control, int dpi);
// The width of "0" in `font`, in pixels.
int averageCharWidth(HWND control, HFONT font);

// Draws a group's border (a plain black box) into an owner-drawn control.
void paintBorder(const DRAWITEMSTRUCT& item);
// Draws a group's heading: its text, over the part of `border`'s line it lies on.
void paintHeading(const DRAWITEMSTRUCT& item, HWND border);

// Draws the 32 x 32 picture beside the title (an archive box) into an owner-drawn control.
void paintDecoration(const DRAWITEMSTRUCT& item);

}  // namespace win32

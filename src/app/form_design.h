// The designed window: every control of Form1 with its kind, initial caption and
// designed placement in twips (1/1440 inch). Controls inside Frame1 are placed relative
// to the frame's top-left corner. The Qt window is built from this table.
#pragma once

#include <span>
#include <string_view>

namespace app {

enum class ControlKind {
  Label,
  Button,
  CheckBox,
  ListBox,
  TextBox,
  LogPane,
  Frame,
  Shape,
  Image,
  ProgressBar
};

struct ControlDesign {
  std::string_view name;
  ControlKind kind;
  std::string_view caption;
  std::string_view parent;  // "Form1" or "Frame1"
  int left, top, width, height;
  bool fixedPitch = false;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignClientWidth = 12870;
inline constexpr int kDesignClientHeight = 7950;

std::span<const ControlDesign> formDesign();
const ControlDesign* findControl(std::string_view name);

// Controls added to the designed window, in space the design leaves free; a front end
// builds them beside formDesign()'s. The filter line Text2 (its caption is the hint shown
// while it is empty) lies between Label1 and butSelectAll and is never moved; butCancel,
// which stops the running command, lies below the sound group beside Image1.
std::span<const ControlDesign> addedControls();

// Which "?" button explains the group a control belongs to: F1 over `area` clicks `help`.
struct HelpArea {
  std::string_view area;
  std::string_view help;
};
std::span<const HelpArea> helpAreas();

}  // namespace app

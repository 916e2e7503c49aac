#include "app/form_design.h"

#include <array>

#include "util/version.h"

namespace app {
namespace {

using K = ControlKind;

constexpr std::array kControls = {
    ControlDesign{"Label1", K::Label, "File List", "Form1", 120, 120, 1815, 255},
    ControlDesign{"butSelectAll", K::Button, "Select All", "Form1", 5760, 120, 1455, 255},
    ControlDesign{"Label2", K::Label, "0 Items", "Form1", 7920, 120, 1095, 255},
    ControlDesign{"List1", K::ListBox, "", "Form1", 120, 360, 8895, 4845, true},
    ControlDesign{"Text1", K::TextBox, "", "Form1", 120, 5280, 8895, 285, true},
    ControlDesign{"RichTextBox1", K::LogPane, "", "Form1", 120, 5640, 8895, 2175, true},
    ControlDesign{"Frame1", K::Frame, "Options", "Form1", 9120, 0, 3735, 7815},
    ControlDesign{"Label9", K::ProgressBar, "", "Frame1", 120, 120, 3495, 255},
    ControlDesign{"Shape1", K::Shape, "", "Frame1", 120, 480, 3495, 1935},
    ControlDesign{"Label10", K::Label, "          File Extractor", "Frame1", 120, 480, 3495, 255},
    ControlDesign{"butFileExtractorQuestion", K::Button, "?", "Frame1", 3360, 480, 255, 255},
    ControlDesign{"butSelectMPAKfile", K::Button, "Open Game .MPAK File", "Frame1", 240, 840, 1935,
                  255},
    ControlDesign{"Label5", K::Label, "", "Frame1", 240, 1080, 3255, 255},
    ControlDesign{"butMassExtract", K::Button, "Extract Selected File(s)", "Frame1", 240, 1440,
                  2055, 375},
    ControlDesign{"butOpenFolder", K::Button, "Open Folder", "Frame1", 2400, 1440, 1095, 375},
    ControlDesign{"butGetModelGraphics", K::Button, "List Model Graphics", "Frame1", 240, 1920,
                  1695, 375},
    ControlDesign{"butDecompressMPKG", K::Button, "Unpack .MPKG", "Frame1", 2040, 1920, 1455, 375},
    ControlDesign{"Shape2", K::Shape, "", "Frame1", 120, 2640, 3495, 2175},
    ControlDesign{"Label11", K::Label, "   File Packer (Make an MPAK)", "Frame1", 120, 2640, 3495,
                  255},
    ControlDesign{"butFilePackerQuestion", K::Button, "?", "Frame1", 3360, 2640, 255, 255},
    ControlDesign{"butSelectMPAKFolder", K::Button, "Select .MPAK Folder", "Frame1", 240, 3000,
                  1935, 255},
    ControlDesign{"Label13", K::Label, "", "Frame1", 240, 3240, 3255, 255},
    ControlDesign{"chkAddAllFilesToSTOC", K::CheckBox, "Add all files to STOC (ignore TOC)",
                  "Frame1", 480, 3600, 2760, 255},
    ControlDesign{"chkCompressAllFiles", K::CheckBox, "Force compression of all files", "Frame1",
                  480, 3960, 2775, 255},
    ControlDesign{"butPackMPAK", K::Button, "Pack New .MPAK", "Frame1", 240, 4320, 2055, 375},
    ControlDesign{"butOpenNewMPAKsFolder", K::Button, "Open Folder", "Frame1", 2400, 4320, 1095,
                  375},
    ControlDesign{"Shape4", K::Shape, "", "Frame1", 120, 5040, 3495, 855},
    ControlDesign{"Label4", K::Label, "  Sound File Conversion (.FSB)", "Frame1", 120, 5040, 3495,
                  255},
    ControlDesign{"butSoundConversionQuestion", K::Button, "?", "Frame1", 3360, 5040, 255, 255},
    ControlDesign{"butConvertFSB", K::Button, "Convert .FSB", "Frame1", 240, 5400, 2055, 375},
    ControlDesign{"butOpenSoundsFolder", K::Button, "Open Folder", "Frame1", 2400, 5400, 1095, 375},
    ControlDesign{"Label3", K::Label, util::kProductName, "Frame1", 120, 6120, 3495, 255},
    ControlDesign{"Image1", K::Image, "", "Frame1", 120, 6480, 480, 480},
};

constexpr std::array kAdded = {
    ControlDesign{"Text2", K::TextBox, "Filter: text, * or ? (Ctrl+F)", "Form1", 2040, 120, 3600,
                  255},
    ControlDesign{"butCancel", K::Button, "Cancel", "Frame1", 2400, 6480, 1095, 375},
};

}  // namespace

std::span<const HelpArea> helpAreas() {
  static constexpr std::array kAreas = {
      HelpArea{"Shape1", "butFileExtractorQuestion"},
      HelpArea{"List1", "butFileExtractorQuestion"},
      HelpArea{"Text2", "butFileExtractorQuestion"},
      HelpArea{"Shape2", "butFilePackerQuestion"},
      HelpArea{"Shape4", "butSoundConversionQuestion"},
  };
  return kAreas;
}

std::span<const ControlDesign> addedControls() {
  return kAdded;
}

std::span<const ControlDesign> formDesign() {
  return kControls;
}

const ControlDesign* findControl(std::string_view name) {
  for (const auto& c : kControls)
    if (c.name == name)
      return &c;
  for (const auto& c : kAdded)
    if (c.name == name)
      return &c;
  return nullptr;
}

}  // namespace app

// Looking at an entry without extracting it, and writing entries out of the window (a
// drag onto a file manager). The rules live here, the viewers in the front end:
//
// - viewFor says how an entry is shown: a sound bank (by its "FSB3"/"FSB4" tag) lists its
//   samples; an image (by the extension of a format the window reads) in an image viewer;
//   text (by content: no NUL byte and hardly any control character) in a read-only viewer,
//   turned from the archive's code page (Windows-1252) into UTF-8; anything else goes to
//   the desktop's program for it through a private copy.
// - Nothing is written to the working folders: private copies and dragged entries go
//   below a private folder the front end makes and removes when the program ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/context.h"

namespace app {

enum class EntryView { Text, Image, SoundBank, Other };

// The content of catalogue entry `entry` of the loaded archive, inflated when it is
// stored compressed. Throws std::runtime_error saying why an entry has none (damaged
// data, data outside the archive).
std::vector<std::uint8_t> entryContent(const LoadedArchive& archive, std::size_t entry);

// True when `bytes` read as text: no NUL byte and at most one control character (other
// than tab, line ends and form feed) in a hundred.
bool looksLikeText(std::span<const std::uint8_t> bytes);

EntryView viewFor(std::string_view entryPath, std::span<const std::uint8_t> bytes);

// One line of a sound bank's list.
struct SoundLine {
  std::string name;    // UTF-8; "#<index>" for a sample without a name
  std::string format;  // "PCM16, 2 ch, 44100 Hz"
  double seconds = 0;
};

// The samples of the bank in `bytes`; throws fsb::BankError for a bank that is refused.
std::vector<SoundLine> soundLines(std::span<const std::uint8_t> bytes);

// Sample `index` of the bank in `bytes` as a file a player opens (WAV for PCM and IMA,
// the frames for MPEG, raw data otherwise); `extension` gets its extension (".wav").
std::vector<std::uint8_t> playableSample(std::span<const std::uint8_t> bytes, std::size_t index,
                                         std::string& extension);

// A new private folder below the system's temporary folder, named after this process
// ("tarnwick-private-<pid>-..."). The private folders of processes that no longer run (a
// window ended by a kill signal cannot remove its own) are removed first.
std::filesystem::path makePrivateFolder();

// Writes `bytes` to a new folder below `privateFolder` under the file name of
// `entryPath`, through a temporary name; returns the file's path.
std::filesystem::path writePrivateCopy(const std::filesystem::path& privateFolder,
                                       std::string_view entryPath,
                                       std::span<const std::uint8_t> bytes);

// Extracts catalogue entries `entries` of the loaded archive into a new folder below
// `privateFolder`, under their paths, with `progress` (a cancel stops it); returns the
// paths of the top-level files and folders written (what a drag hands over). Throws
// std::runtime_error naming the first entry that could not be written; nothing of a
// failed run is left.
std::vector<std::filesystem::path> extractForDrag(const LoadedArchive& archive,
                                                  const std::vector<std::size_t>& entries,
                                                  const std::filesystem::path& privateFolder,
                                                  util::Progress& progress);

}  // namespace app

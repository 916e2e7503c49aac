// The filter line over the file list (Text2): the list shows the entries whose path holds
// the text typed there. Letter case is ignored, "/" and "\" are alike, "*" stands for any
// run within a name, "**" for any run across folders and "?" for one character (the
// patterns of tarnwick-cli extract, found anywhere in the path). While a filter is on,
// Label2 reads "<shown> of <all> Items", and item i of List1 is the i-th entry shown;
// Select All and the extract command act on the entries shown.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mpak/archive.h"

namespace app {

struct CommandContext;
struct Session;

struct ListFilter {
  std::string text;                // as typed, UTF-8; "" shows every entry
  bool on = false;                 // List1 shows `shown` rather than every entry
  std::vector<std::size_t> shown;  // the catalogue index of each item while `on`
};

// The catalogue indexes of the entries whose path holds `text`, in catalogue order.
std::vector<std::size_t> entriesMatching(const std::vector<mpak::ArchiveEntry>& entries,
                                         std::string_view text);

// Label2's text: "<all> Items", or "<shown> of <all> Items" while a filter is on.
std::string itemCountText(std::size_t shown, std::size_t all, bool filtered);

// The catalogue index of item `item` of List1.
std::size_t entryOfItem(const Session& session, std::size_t item);

// Fills List1 with the loaded archive's entries that `text` matches (all of them for
// ""), with the item count, and remembers the text for the next archive loaded. With no
// archive loaded only the text is remembered.
void filterList(CommandContext& context, std::string_view text);

}  // namespace app

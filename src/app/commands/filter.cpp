#include "app/commands/filter.h"

#include "app/commands/context.h"
#include "extract/entry_glob.h"
#include "mpak/file_list_item.h"
#include "util/cp1252.h"

namespace app {

std::vector<std::size_t> entriesMatching(const std::vector<mpak::ArchiveEntry>& entries,
                                         std::string_view text) {
  const extract::EntryGlob glob(text, extract::EntryGlob::Scope::Anywhere);
  std::vector<std::size_t> matching;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (glob.matches(entries[i].path))
      matching.push_back(i);
  return matching;
}

std::string itemCountText(std::size_t shown, std::size_t all, bool filtered) {
  if (!filtered)
    return std::to_string(all) + " Items";
  return std::to_string(shown) + " of " + std::to_string(all) + " Items";
}

std::size_t entryOfItem(const Session& session, std::size_t item) {
  const auto& filter = session.filter;
  return filter.on && item < filter.shown.size() ? filter.shown[item] : item;
}

void filterList(CommandContext& context, std::string_view text) {
  auto& session = context.session;
  auto& filter = session.filter;
  filter.text = text;
  if (!session.archive.loaded())
    return;
  const auto& entries = session.archive.catalogue.entries();
  filter.on = !text.empty();
  filter.shown = filter.on ? entriesMatching(entries, text) : std::vector<std::size_t>{};
  std::vector<std::string> items;
  const std::size_t count = filter.on ? filter.shown.size() : entries.size();
  items.reserve(count);
  for (std::size_t item = 0; item < count; ++item)
    items.push_back(util::cp1252ToUtf8(mpak::fileListItem(entries[entryOfItem(session, item)])));
  auto& window = context.window();
  window.clearList();
  window.addItems(items);
  window.setText("Label2", itemCountText(count, entries.size(), filter.on));
  window.repaint("Label2");
  window.repaint("List1");
}

}  // namespace app

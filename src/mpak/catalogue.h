// The archive catalogue the window keeps for the loaded archive: the index of the
// archive (block positions, counts, entries in TOC order, STOC records). Item i of the
// file list is entry i. The window holds at most kCatalogueSlots entries.
#pragma once

#include "mpak/archive.h"

namespace mpak {

inline constexpr int kCatalogueSlots = 10001;

struct Catalogue {
  ArchiveIndex index;
  const std::vector<ArchiveEntry>& entries() const { return index.entries; }
};

}  // namespace mpak

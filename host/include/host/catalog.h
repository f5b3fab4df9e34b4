// What the host knows about each deliverable: the vector size it is built
// for and whether the panel build holds it.
#pragma once

#include <string>

namespace host {

struct CatalogEntry {
  const char* name;
  int vectorWords;    // 12 or 15
  bool panelBuild;    // false: PC build only
  const char* role;   // one line for listings
};

// nullptr for a name that is not a deliverable.
const CatalogEntry* FindDeliverable(const std::string& name);
// All 26 deliverables, in the order of their subsystems.
const CatalogEntry* Deliverables(int* count);

}  // namespace host

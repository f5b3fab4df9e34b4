// Shared pieces of the tests: where the built plug-ins are and which of them
// this target must hold.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/catalog.h"
#include "host/plugin.h"

namespace testing_support {

inline std::string PluginPath(const std::string& name) {
  return std::string(MACRO_PLUGIN_DIR) + "/" + host::PluginFileName(name);
}

inline std::string TestPluginPath(const std::string& name) {
  return std::string(MACRO_TEST_PLUGIN_DIR) + "/" + host::PluginFileName(name);
}

inline std::unique_ptr<host::Plugin> LoadOrFail(const std::string& path) {
  std::string error;
  auto p = host::Plugin::Load(path, &error);
  EXPECT_TRUE(p != nullptr) << error;
  return p;
}

inline bool PanelTarget() { return std::string(MACRO_TARGET_NAME) == "panel"; }

// Whether the deliverable belongs in this target's plugins folder.
inline bool BuiltHere(const host::CatalogEntry& e) { return e.panelBuild || !PanelTarget(); }

}  // namespace testing_support

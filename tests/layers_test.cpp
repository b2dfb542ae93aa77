// The source tree's own include lines keep the libraries' direction: each
// library includes only the headers of those it may use, and no header
// chain leads back to where it started.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kFolders[] = {"app", "store", "scoring", "cards", "ui", "tests", "tools", "bench"};

// The library a file belongs to, by its path from the source root; "" for
// tests, tools and benchmarks, which may include anything.
std::string layer_of(const std::string& path) {
  std::string folder = path.substr(0, path.find('/'));
  std::string name = path.substr(path.rfind('/') + 1);
  bool is_test_only = name.find("_test.") != std::string::npos ||
                      name.find("_for_tests.") != std::string::npos || name.rfind("test_", 0) == 0;
  if (is_test_only || folder == "tests" || folder == "tools" || folder == "bench") return "";
  if (folder == "app" && (name.rfind("bridge.", 0) == 0 || name.rfind("text.", 0) == 0))
    return "bridge";
  if (folder == "ui") return "pages";
  return folder;  // app (the wiring, entry points included), store, scoring, cards
}

// What each library may include besides itself.
const std::map<std::string, std::set<std::string>> kMayUse = {
    {"bridge", {}},
    {"pages", {}},
    {"store", {}},
    {"scoring", {"store"}},
    {"cards", {"store", "bridge", "pages"}},
    {"app", {"cards", "scoring", "store", "bridge", "pages"}},
};

// Every source file's project includes ("folder/name.h"), by path.
std::map<std::string, std::vector<std::string>> read_includes() {
  fs::path root = RINGTALLY_SOURCE_DIR;
  std::regex include_line(R"(^\s*#\s*include\s+"([^"]+)\")");
  std::map<std::string, std::vector<std::string>> includes;
  for (const char* folder : kFolders) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      if (entry.path().string().find("node_modules") != std::string::npos) continue;
      std::string path = fs::relative(entry.path(), root).generic_string();
      std::ifstream in(entry.path());
      std::string line;
      std::smatch match;
      auto& list = includes[path];
      while (std::getline(in, line))
        if (std::regex_search(line, match, include_line)) list.push_back(match[1]);
    }
  }
  return includes;
}

TEST(Layers, EachLibraryIncludesOnlyWhatItMayUse) {
  auto includes = read_includes();
  ASSERT_GT(includes.count("app/bridge.h"), 0u);
  ASSERT_GT(includes.count("cards/card_server.cpp"), 0u);
  for (const auto& [path, list] : includes) {
    std::string from = layer_of(path);
    if (from.empty()) continue;
    for (const std::string& header : list) {
      if (header.find('/') == std::string::npos) continue;  // generated beside the build
      std::string to = layer_of(header);
      ASSERT_FALSE(to.empty()) << path << " includes the test helper " << header;
      EXPECT_TRUE(to == from || kMayUse.at(from).count(to))
          << path << " (" << from << ") includes " << header << " (" << to << ")";
    }
  }
}

TEST(Layers, NoIncludeCycle) {
  auto includes = read_includes();
  std::map<std::string, int> state;  // 1 on the current chain, 2 done
  std::vector<std::string> chain;
  std::function<void(const std::string&)> visit = [&](const std::string& path) {
    state[path] = 1;
    chain.push_back(path);
    for (const std::string& header : includes[path]) {
      if (!includes.count(header)) continue;
      if (state[header] == 1) {
        std::string cycle;
        for (auto it = std::find(chain.begin(), chain.end(), header); it != chain.end(); ++it)
          cycle += *it + " -> ";
        ADD_FAILURE() << "include cycle: " << cycle << header;
      } else if (state[header] == 0) {
        visit(header);
      }
    }
    chain.pop_back();
    state[path] = 2;
  };
  for (const auto& entry : includes)
    if (state[entry.first] == 0) visit(entry.first);
}

}  // namespace

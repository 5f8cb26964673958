// A temporary site folder that tests fill with pages and remove again.
#pragma once

#include "link_check.h"
#include "site_text.h"
#include "site_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace sitetest {

namespace fs = std::filesystem;

class SiteFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quilso_site_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Writes the bytes to `relative` (UTF-8, "/" separators), creating its folders.
    fs::path put(std::string_view relative, std::string_view bytes) {
        const fs::path path = dir / fs::path(std::string(relative));
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    fs::path dir;
};

// The tree one line per entry, indented by depth: "text | file" shown as UTF-8.
inline std::string shape(const quilso::SiteTree& tree) {
    std::string out;
    tree.forEachPreorder([&](const quilso::SiteNode* node, int depth) {
        out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + quilso::DisplayUtf8(node->entry.text) +
               " | " + quilso::DisplayUtf8(node->entry.file) + "\n";
    });
    return out;
}

} // namespace sitetest

#include "service/web/web_assets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace numtrail::web {
namespace {

const std::string kWebFolder = NUMTRAIL_WEB_SOURCE_DIR;

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ManifestEntry {
    std::string path, file, content_type;
};

// The manifest the build compiles the page from: what must come out of the program.
std::vector<ManifestEntry> Manifest() {
    std::vector<ManifestEntry> entries;
    std::istringstream lines(FileBytes(kWebFolder + "/assets.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto tab1 = line.find('\t');
        const auto tab2 = line.find('\t', tab1 + 1);
        entries.push_back(
            {line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    return entries;
}

TEST(WebAssets, EveryFileOfThePageIsServedWhole) {
    const std::vector<ManifestEntry> manifest = Manifest();
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(WebAssets().size(), manifest.size());
    EXPECT_EQ(WebAssets().front().path, "/");
    for (const ManifestEntry& entry : manifest) {
        SCOPED_TRACE(entry.path);
        const std::optional<WebAssetFile> asset = WebAsset(entry.path);
        ASSERT_TRUE(asset);
        EXPECT_EQ(asset->path, entry.path);
        // Byte for byte, including the page's UTF-8 text and any byte a text file lacks.
        EXPECT_EQ(asset->bytes, FileBytes(kWebFolder + "/" + entry.file));
        EXPECT_EQ(asset->content_type, entry.content_type);
    }
}

TEST(WebAssets, NoOtherPathIsAnAsset) {
    for (const char* path : {"", "/index.html", "/app.js?v=1", "/APP.JS", "/app.js/", "//app.js",
                             "/./app.js", "/web/app.js", "/../app.js", "/%61pp.js", "app.js",
                             "/assets.txt", "/CMakeLists.txt", "/api/health"}) {
        EXPECT_FALSE(WebAsset(path)) << path;
    }
}

}  // namespace
}  // namespace numtrail::web

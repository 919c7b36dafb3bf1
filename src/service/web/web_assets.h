#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace numtrail::web {

// One file of the team page, compiled into the program.
struct WebAssetFile {
    std::string_view path;  // the URL path it is served at: "/" for the page itself
    std::string_view bytes;
    std::string_view content_type;  // with the charset of a text
};

// Every file of the page, the page itself first.
std::span<const WebAssetFile> WebAssets();

// The file served at a URL path, given without its query (the caller splits that off);
// nullopt for every other path, so that nothing but these files can be asked for.
std::optional<WebAssetFile> WebAsset(std::string_view path);

}  // namespace numtrail::web

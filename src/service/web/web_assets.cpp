#include "service/web/web_assets.h"

namespace numtrail::web {

std::optional<WebAssetFile> WebAsset(std::string_view path) {
    // A handful of files: an exact comparison leaves no room for a path that walks
    // elsewhere or a spelling that means the same file.
    for (const WebAssetFile& file : WebAssets())
        if (file.path == path) return file;
    return std::nullopt;
}

}  // namespace numtrail::web

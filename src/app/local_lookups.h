#pragma once

#include <QString>
#include <filesystem>
#include <memory>

#include "app/form1.h"
#include "app/options.h"

namespace numtrail {

namespace attribution {
class Attributor;
class LocalAttributor;
class OnlineAttributor;
class UpstreamResolver;
}  // namespace attribution

// What answers the window's lookups when no endpoint is given: the attribution core in the
// program itself, from local data, and with --upstream an online service through the prefix
// cache for what local data does not place. Nothing listens on a port.
class LocalLookups {
  public:
    // Reads the data file given, or the one in the user's data directory when there is one
    // (options.data_file then names it). Throws attribution::DataFileError for a damaged data
    // file and attribution::UpstreamError for an online endpoint it cannot ask; both name
    // the fault.
    explicit LocalLookups(AppOptions& options);
    ~LocalLookups();
    LocalLookups(const LocalLookups&) = delete;
    LocalLookups& operator=(const LocalLookups&) = delete;

    attribution::Attributor& Attributor();
    // Where online answers are kept; empty without --upstream.
    std::filesystem::path UpstreamCacheFile() const;

  private:
    std::unique_ptr<attribution::LocalAttributor> local_;
    std::unique_ptr<attribution::UpstreamResolver> resolver_;
    std::unique_ptr<attribution::OnlineAttributor> online_;
};

// Which data answers the lookups, for the status bar's tooltip; call after LocalLookups.
QString DataSourceText(const AppOptions& options);

// The main window's settings for the options, with `local` answering when no endpoint was
// given.
Form1Settings WindowSettings(const AppOptions& options, LocalLookups* local,
                             const QString& program_folder);

}  // namespace numtrail

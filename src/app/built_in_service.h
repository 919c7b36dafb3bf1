#pragma once

#include <memory>

#include "app/options.h"
#include "service/attribution_service.h"

namespace numtrail {

// Starts the attribution service inside the program when no endpoint was given, and points
// the options at it (and at it as the update server, unless one was given). Without --data it
// reads the data file in the user's data directory when there is one (options.data_file then
// names it). Returns null when an endpoint was given. Throws service::ServiceError when the
// service cannot start, for example on a damaged data file.
std::unique_ptr<service::AttributionService> StartBuiltInService(AppOptions& options);

// Which data answers the lookups, for the status bar's tooltip; call after the start.
QString DataSourceText(const AppOptions& options);

}  // namespace numtrail

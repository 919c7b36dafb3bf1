#include "app/built_in_service.h"

#include "app/defaults.h"

namespace numtrail {

std::unique_ptr<service::AttributionService> StartBuiltInService(AppOptions& options) {
    if (options.lookup_url_given) return nullptr;
    service::ServiceOptions service_options;
    service_options.listen = kBuiltInServiceHost.toStdString();
    service_options.port = 0;  // any free port
    if (!options.data_file.isEmpty())
        service_options.data_file = std::filesystem::path(options.data_file.toStdString());
    auto running = service::AttributionService::Start(service_options);

    const QString root =
        QStringLiteral("http://%1:%2").arg(kBuiltInServiceHost).arg(running->Port());
    options.lookup_url = root + kBuiltInLookupPath;
    if (!options.update_url_given) options.update_url = root;
    return running;
}

}  // namespace numtrail

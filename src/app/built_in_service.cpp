#include "app/built_in_service.h"

#include "app/defaults.h"
#include "service/data_file.h"

namespace numtrail {

std::unique_ptr<service::AttributionService> StartBuiltInService(AppOptions& options) {
    if (options.lookup_url_given) return nullptr;
    service::ServiceOptions service_options;
    service_options.listen = kBuiltInServiceHost.toStdString();
    service_options.port = 0;  // any free port
    if (options.data_file.isEmpty()) {
        if (const auto found = service::DefaultDataFile())
            options.data_file = QString::fromStdString(found->string());
    }
    if (!options.data_file.isEmpty())
        service_options.data_file = std::filesystem::path(options.data_file.toStdString());
    if (!options.upstream_url.isEmpty()) {
        service_options.upstream.emplace();
        service_options.upstream->url = options.upstream_url.toStdString();
    }
    auto running = service::AttributionService::Start(service_options);

    const QString root =
        QStringLiteral("http://%1:%2").arg(kBuiltInServiceHost).arg(running->Port());
    options.lookup_url = root + kBuiltInLookupPath;
    if (!options.update_url_given) options.update_url = root;
    return running;
}

QString DataSourceText(const AppOptions& options) {
    if (options.lookup_url_given) return QStringLiteral("归属地查询：%1").arg(options.lookup_url);
    if (!options.data_file.isEmpty())
        return QStringLiteral("归属地数据：%1，文件没有的号段用内置数据").arg(options.data_file);
    return QStringLiteral("归属地数据：内置数据（自己的数据文件可放在 %1）")
        .arg(QString::fromStdString(service::DefaultDataFilePath().string()));
}

}  // namespace numtrail

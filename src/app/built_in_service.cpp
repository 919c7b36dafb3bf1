#include "app/built_in_service.h"

#include <httplib.h>

#include <QUrl>
#include <chrono>

#include "app/defaults.h"
#include "attribution/data_file.h"

namespace numtrail {

std::unique_ptr<service::AttributionService> StartBuiltInService(AppOptions& options) {
    if (options.lookup_url_given) return nullptr;
    service::ServiceOptions service_options;
    service_options.listen = kBuiltInServiceHost.toStdString();
    service_options.port = 0;  // any free port
    if (options.data_file.isEmpty()) {
        if (const auto found = attribution::DefaultDataFile())
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
        .arg(QString::fromStdString(attribution::DefaultDataFilePath().string()));
}

BuiltInServiceFetcher::BuiltInServiceFetcher(const service::AttributionService& running,
                                             const AppOptions& options, FetchOptions fetch,
                                             Fetcher& other)
    : root_(QStringLiteral("http://%1:%2/").arg(kBuiltInServiceHost).arg(running.Port())),
      fetch_(fetch),
      other_(other) {
    if (!options.upstream_url.isEmpty()) return;
    client_ = std::make_unique<httplib::Client>(kBuiltInServiceHost.toStdString(), running.Port());
    client_->set_keep_alive(true);
    const std::chrono::milliseconds timeout(fetch.timeout_ms);
    client_->set_connection_timeout(timeout);
    client_->set_read_timeout(timeout);
    client_->set_write_timeout(timeout);
}

BuiltInServiceFetcher::~BuiltInServiceFetcher() = default;

FetchResult BuiltInServiceFetcher::Fetch(const QString& url) {
    if (!client_ || !url.startsWith(root_)) return other_.Fetch(url);
    const QByteArray target =
        QUrl(url).toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    std::string body;
    bool too_large = false;
    const httplib::Result answer =
        client_->Get(target.toStdString(), [&](const char* data, std::size_t length) {
            too_large = static_cast<qint64>(body.size() + length) > fetch_.max_body_bytes;
            if (!too_large) body.append(data, length);
            return !too_large;
        });
    if (too_large) return {false, {}, QStringLiteral("answer larger than the limit")};
    if (!answer) return {false, {}, QString::fromStdString(httplib::to_string(answer.error()))};
    // As the network manager's fetch: an answer with any status is the service's answer.
    return {true,
            DecodeBody(QByteArray(body.data(), static_cast<qsizetype>(body.size())),
                       QByteArray::fromStdString(answer->get_header_value("Content-Type"))),
            {}};
}

}  // namespace numtrail

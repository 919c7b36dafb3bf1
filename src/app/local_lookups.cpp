#include "app/local_lookups.h"

#include "attribution/data_file.h"
#include "attribution/local_attributor.h"
#include "attribution/online_attributor.h"
#include "attribution/upstream_resolver.h"

namespace numtrail {

LocalLookups::LocalLookups(AppOptions& options) {
    if (options.data_file.isEmpty()) {
        if (const auto found = attribution::DefaultDataFile())
            options.data_file = QString::fromStdString(found->string());
    }
    attribution::DataFile data;
    if (!options.data_file.isEmpty())
        data = attribution::LoadDataFile(std::filesystem::path(options.data_file.toStdString()));
    local_ = std::make_unique<attribution::LocalAttributor>(std::move(data));
    if (options.upstream_url.isEmpty()) return;
    attribution::UpstreamOptions upstream;
    upstream.url = options.upstream_url.toStdString();
    resolver_ = std::make_unique<attribution::UpstreamResolver>(std::move(upstream));
    online_ = std::make_unique<attribution::OnlineAttributor>(*local_, *resolver_);
}

LocalLookups::~LocalLookups() {
    // Requests in flight end at once rather than at their time-out.
    if (resolver_) resolver_->Shutdown();
}

attribution::Attributor& LocalLookups::Attributor() {
    if (online_) return *online_;
    return *local_;
}

std::filesystem::path LocalLookups::UpstreamCacheFile() const {
    return resolver_ ? resolver_->CacheFile() : std::filesystem::path();
}

QString DataSourceText(const AppOptions& options) {
    if (options.lookup_url_given) return QStringLiteral("归属地查询：%1").arg(options.lookup_url);
    if (!options.data_file.isEmpty())
        return QStringLiteral("归属地数据：%1，文件没有的号段用内置数据").arg(options.data_file);
    return QStringLiteral("归属地数据：内置数据（自己的数据文件可放在 %1）")
        .arg(QString::fromStdString(attribution::DefaultDataFilePath().string()));
}

Form1Settings WindowSettings(const AppOptions& options, LocalLookups* local,
                             const QString& program_folder) {
    Form1Settings settings;
    settings.lookup_url = options.lookup_url;
    settings.update_url = options.update_url;
    settings.program_folder = program_folder;
    settings.help_folder = HelpFolder(program_folder);
    settings.journal_folder = JournalFolder(options);
    settings.journal_days = options.journal_days;
    if (local) settings.attributor = &local->Attributor();
    return settings;
}

}  // namespace numtrail

#include "update/update_check.h"

#include "attribution/protocol.h"

namespace numtrail {

// The manifest's key and bar are ASCII, so reading the UTF-8 bytes finds the same version.
QString ManifestVersion(const QString& manifest) {
    const std::string bytes = manifest.toStdString();
    const std::optional<std::string_view> version = attribution::ManifestVersion(bytes);
    return version ? QString::fromUtf8(version->data(), static_cast<qsizetype>(version->size()))
                   : QString();
}

ManifestVerdict JudgeManifest(const QString& manifest, const QString& own_version) {
    // A body without the key is an error page or a wrong address, and one without a version
    // after the key (the bar right after it, or the bar lost) is a damaged manifest: neither
    // names a version.
    // Treating them as "newer version" would end the program at every start.
    const QString version = ManifestVersion(manifest);
    if (version.isEmpty()) return {ManifestVerdict::Kind::Failed, {}};
    return {version == own_version ? ManifestVerdict::Kind::Current : ManifestVerdict::Kind::Newer,
            version};
}

QString NewerVersionText(const QString& version) {
    return QStringLiteral("发现最新版本![") + version + QStringLiteral("]\r\n \r\n") +
           QStringLiteral("确定后自动打开官方论坛!");
}

}  // namespace numtrail

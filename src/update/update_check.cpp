#include "update/update_check.h"

#include "product/protocol.h"

namespace numtrail {
namespace {
const QLatin1StringView kKey(protocol::kManifestKey);
}

QString ManifestVersion(const QString& manifest) {
    const qsizetype key = manifest.indexOf(kKey);
    if (key < 0) return {};
    const qsizetype start = key + kKey.size();
    const qsizetype next_key = manifest.indexOf(kKey, start);
    const QString piece = manifest.mid(start, next_key < 0 ? -1 : next_key - start);
    const qsizetype bar = piece.indexOf(QLatin1Char(protocol::kManifestVersionEnd));
    return bar < 0 ? QString() : piece.left(bar);
}

ManifestVerdict JudgeManifest(const QString& manifest, const QString& own_version) {
    // A body without the key is an error page or a wrong address, and one without a version
    // after the key ("sjhm:|", or the bar lost) is a damaged manifest: neither names a version.
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

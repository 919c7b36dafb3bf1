// Update manifests: the version extraction and the verdict.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "update/update_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString manifest =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString version = numtrail::ManifestVersion(manifest);
    if (version.contains(QLatin1Char('|'))) __builtin_trap();
    const auto verdict = numtrail::JudgeManifest(manifest, QStringLiteral("V4.1"));
    if (verdict.kind == numtrail::ManifestVerdict::Kind::Current && version != "V4.1")
        __builtin_trap();
    return 0;
}

#pragma once

#include <QString>

namespace numtrail {

// What the start-up check makes of the manifest it fetched.
struct ManifestVerdict {
    enum class Kind {
        Failed,   // no version: the fetch failed, or the body held no manifest key with a
                  // version and a bar after it
        Current,  // the manifest names this version
        Newer,    // it names any other version (there is no ordering of versions)
    } kind;
    QString version;  // the version text as found, possibly empty
};

// The version after the manifest's first key up to the next bar, unchanged (see
// attribution::ManifestVersion); empty when there is
// no key or no bar after it.
QString ManifestVersion(const QString& manifest);

ManifestVerdict JudgeManifest(const QString& manifest, const QString& own_version);

// "发现最新版本![V4.2]" CR LF " " CR LF "确定后自动打开官方论坛!"
QString NewerVersionText(const QString& version);

}  // namespace numtrail

#pragma once

#include <QString>

namespace numtrail {

// The program's fixed settings; the version and the titles are in src/product, the wire
// protocol in src/attribution.

inline constexpr int kDefaultTimeoutSeconds = 30;
inline constexpr int kMaxTimeoutSeconds = 86400;
// Ten years of the results journal at most; a day at least (today's file).
inline constexpr int kMinJournalDays = 1;
inline constexpr int kMaxJournalDays = 3650;

// The forum and resource pages are help pages shipped beside the program, until the
// project has web pages of its own. Paths are relative to the program's folder.
inline const QString kForumPage = QStringLiteral("help/forum.html");
inline const QString kResourcePage = QStringLiteral("help/resources.html");

// The optional style sheet beside the program that gives the window its look.
inline const QString kSkinFile = QStringLiteral("skinh.she");

}  // namespace numtrail

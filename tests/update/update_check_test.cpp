#include "update/update_check.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

TEST(ManifestVersion, TakesTheTextBetweenTheFirstKeyAndItsBar) {
    EXPECT_EQ(ManifestVersion("sjhm:V4.1|"), "V4.1");
    EXPECT_EQ(ManifestVersion("other:V1|sjhm:V4.1|tail"), "V4.1");
    EXPECT_EQ(ManifestVersion("sjhm:V4.2|sjhm:V4.1|"), "V4.2");
    EXPECT_EQ(ManifestVersion("sjhm:V4.1sjhm:V5|"), "");  // the bar belongs to the second key
    EXPECT_EQ(ManifestVersion("sjhm: V4.1 |"), " V4.1 ");
    EXPECT_EQ(ManifestVersion("SJHM:V4.1|"), "");
    EXPECT_EQ(ManifestVersion("sjhm:|"), "");
}

TEST(JudgeManifest, OnlyAManifestThatNamesAVersionCanAnnounceOne) {
    using K = ManifestVerdict::Kind;
    EXPECT_EQ(JudgeManifest("", "V4.1").kind, K::Failed);
    EXPECT_EQ(JudgeManifest("<html>404 Not Found</html>", "V4.1").kind, K::Failed);
    EXPECT_EQ(JudgeManifest("sjhm:V4.1|", "V4.1").kind, K::Current);
    EXPECT_EQ(JudgeManifest("sjhm:v4.1|", "V4.1").kind, K::Newer);
    EXPECT_EQ(JudgeManifest("sjhm:|", "V4.1").kind, K::Failed);
    EXPECT_EQ(JudgeManifest("sjhm:V4.1", "V4.1").kind, K::Failed);  // the bar lost
}

}  // namespace
}  // namespace numtrail

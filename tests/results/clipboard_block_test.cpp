#include "results/clipboard_block.h"

#include <gtest/gtest.h>

#include "support/result_row.h"

namespace numtrail {
namespace {

TEST(ClipboardBlock, SixLabelledLinesABlankLineAndTheCreditLine) {
    const attribution::Record r =
        test::ResultRow("13800138000", "北京", "北京", "010", "100000", "中国移动");
    EXPECT_EQ(
        ClipboardBlock(r),
        QStringLiteral("手机号码:13800138000\r\n"
                       "所属省份:北京\r\n"
                       "所属城市:北京\r\n"
                       "区\u3000\u3000号:010\r\n"
                       "邮\u3000\u3000编:100000\r\n"
                       "卡 类 型:中国移动\r\n"
                       " \r\n"
                       "【数据来自Numtrail归属地服务 | 帮助：见程序目录下 help/forum.html】"));
}

TEST(ClipboardBlock, ValuesGoInUnchangedAndEmptyOnesLeaveTheLabel) {
    const attribution::Record r = test::ResultRow(" 138 ", "", "", "", "", "");
    const QString block = ClipboardBlock(r);
    EXPECT_TRUE(block.startsWith(QStringLiteral("手机号码: 138 \r\n所属省份:\r\n所属城市:\r\n")));
    EXPECT_EQ(block.count(QStringLiteral("\r\n")), 7);
    EXPECT_EQ(block.count(u'\r'), 7);
    EXPECT_EQ(block.count(u'\n'), 7);
    EXPECT_TRUE(block.endsWith(u'】'));
}

}  // namespace
}  // namespace numtrail

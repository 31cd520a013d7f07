#include <gtest/gtest.h>

#include "tools/render/csv.h"

namespace vantrelo {
namespace {

TEST(Csv, ReadsQuotedFieldsAcrossLinesAndCountsLines) {
    const CsvResult r = parseCsv("\xEF\xBB\xBF" "a,b\r\n\"x,1\",\"say \"\"hi\"\"\"\n\"two\nlines\",\n\nlast,row");
    ASSERT_TRUE(r.error.empty());
    ASSERT_EQ(r.rows.size(), 4u);
    EXPECT_EQ(r.rows[0].fields, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r.rows[1].fields, (std::vector<std::string>{"x,1", "say \"hi\""}));
    EXPECT_EQ(r.rows[2].fields, (std::vector<std::string>{"two\nlines", ""}));
    EXPECT_EQ(r.rows[2].line, 3);
    EXPECT_EQ(r.rows[3].line, 6);  // the blank line 5 is no row
}

TEST(Csv, ReportsBrokenQuoting) {
    EXPECT_EQ(parseCsv("a\n\"open").errorLine, 2);
    EXPECT_FALSE(parseCsv("\"a\"b,c").error.empty());
}

}  // namespace
}  // namespace vantrelo

// The Check URLs scheduler: the two selection options, an empty list, rows
// that name no record, and the checker argument with proxy credentials.

#include "check/CheckUrlsFixture.h"

using namespace orvex;
using namespace orvex::checktest;

namespace {

TEST_F(CheckUrlsTest, TheTwoOptionsChooseTheFirstRowAndTheTotal)
{
    struct Case
    {
        CheckOptions options;
        std::vector<std::size_t> selected;
        std::vector<int> checked;
    };
    const Case cases[] = {
        {{false, false}, {5, 2, 6}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {{true, false}, {5, 2, 6}, {2, 3, 4, 5, 6, 7}},
        {{false, true}, {5, 2, 6}, {2, 5, 6}},
        {{true, true}, {5, 2, 6}, {2, 5, 6}},
        {{false, true}, {0, 7}, {0, 7}},
        {{true, false}, {}, {0, 1, 2, 3, 4, 5, 6, 7}}, // nothing selected: row 0 is
        {{false, true}, {}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.selected) + " from selected " +
                     std::to_string(c.options.startFromSelected) + " only selected " +
                     std::to_string(c.options.checkSelected));
        MakeList(8);
        launcher = FakeLauncher();
        ASSERT_TRUE(Begin(c.selected, c.options));
        EXPECT_EQ(check.maximum(), static_cast<int>(c.checked.size()));
        RunToEnd();
        EXPECT_EQ(launcher.StartedRows(), c.checked);
        EXPECT_EQ(check.position(), static_cast<int>(c.checked.size()));
        for (int row = 0; row < 8; ++row) {
            const bool checked =
                std::find(c.checked.begin(), c.checked.end(), row) != c.checked.end();
            EXPECT_EQ(TrimText(GetUrlField(records[row], UrlField::StatusCode)),
                      checked ? "404" : "");
        }
        if (c.selected.empty()) {
            EXPECT_EQ(check.selectedRows(), std::vector<std::size_t>{0});
        }
    }
}

TEST_F(CheckUrlsTest, EmptyListStartsNothing)
{
    MakeList(0);
    EXPECT_FALSE(Begin());
    EXPECT_FALSE(check.running());
    EXPECT_FALSE(check.Poll());
    EXPECT_TRUE(launcher.started.empty());
}

TEST_F(CheckUrlsTest, RowWithoutANumericStoreIndexStillCounts)
{
    MakeList(2);
    rows[1].replace(8, 8, "  none  ");
    ASSERT_TRUE(Begin());
    RunToEnd({{0, 200}, {1, 404}});
    EXPECT_EQ(check.ProcessedText(), "2 of 2");
    EXPECT_EQ(check.failed(), 1);
    EXPECT_EQ(StatusText(1), kCheckingText); // kept as it was, blanked by the caller later
    EXPECT_EQ(GetUrlField(records[1], UrlField::StatusCode), "    ");
    EXPECT_EQ(StatusText(0), Padded("200 Ok"));
}

TEST_F(CheckUrlsTest, ProxyCredentialsGoIntoTheTokenAndAnOverlongOneFails)
{
    MakeList(2);
    ASSERT_TRUE(Begin({}, {}, {true, "me", "secret"}));
    RunToEnd({{0, 200}, {1, 200}});
    EXPECT_EQ(launcher.started[1], "1me:secret@http://h.test/1");

    launcher = FakeLauncher();
    ASSERT_TRUE(Begin({}, {}, {true, std::string(2100, 'u'), ""}));
    RunToEnd();
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(check.failed(), 2);
    EXPECT_EQ(StatusText(0), Padded("0 "));
}

} // namespace

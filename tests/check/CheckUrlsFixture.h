#pragma once

// The scheduler's test fixture: a fake launcher whose checks end only when
// the test says so, a clock moved by hand, and a list of numbered URLs.

#include "check/CheckLauncher.h"
#include "check/CheckRows.h"
#include "check/CheckUrls.h"
#include "workspace/RecordLayout.h"
#include "workspace/SecondsCounter.h"
#include "workspace/UrlRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

namespace orvex::checktest {

inline const std::string kTime = "05/14/2007 13:45:30";

// Checks end only when the test says so.
class FakeLauncher : public CheckLauncher
{
public:
    bool Start(int slot, const std::string& token) override
    {
        started.push_back(token);
        slotOf[RowOf(token)] = slot;
        rowIn[slot] = RowOf(token);
        running[slot] = true;
        codes[slot] = 0;
        return true;
    }
    bool Running(int slot) const override { return running[slot]; }
    int ExitCode(int slot) const override { return codes[slot]; }
    void CutOff(int slot) override
    {
        cutOff.push_back(slot);
        running[slot] = false;
    }

    void Finish(int row, int code)
    {
        const int slot = slotOf.at(row);
        ASSERT_TRUE(running[slot] && rowIn[slot] == row) << "row " << row;
        running[slot] = false;
        codes[slot] = code;
    }
    // The rows started, in order.
    std::vector<int> StartedRows() const
    {
        std::vector<int> rows;
        for (const std::string& token : started)
            rows.push_back(RowOf(token));
        return rows;
    }
    static int RowOf(const std::string& token)
    {
        return std::stoi(token.substr(token.rfind('/') + 1));
    }

    std::vector<std::string> started;
    std::vector<int> cutOff;
    std::map<int, int> slotOf; // row -> slot of its latest start
    std::array<int, CheckUrls::kSlotCount> rowIn{};
    std::array<bool, CheckUrls::kSlotCount> running{};
    std::array<int, CheckUrls::kSlotCount> codes{};
};

class CheckUrlsTest : public ::testing::Test
{
protected:
    // Rows in record order, URL http://h.test/<row>.
    void MakeList(int count)
    {
        records.clear();
        for (int i = 0; i < count; ++i)
            records.push_back(MakeUrlRecord("id" + std::to_string(i) + std::string(16, 'x'),
                                            "00000001", kTime,
                                            "http://h.test/" + std::to_string(i)));
        BuildUrlRows(records, rows);
    }
    bool Begin(std::vector<std::size_t> selected = {}, CheckOptions options = {},
               CheckProxy proxy = {})
    {
        check.SetTimeSource([] { return kTime; });
        return check.Begin(rows, records, selected, options, proxy);
    }
    // Ends every running check with the code given for its row (404 when not given).
    void RunToEnd(const std::map<int, int>& codes = {})
    {
        for (int round = 0; round < 1000 && check.Poll(); ++round) {
            for (int slot = 0; slot < CheckUrls::kSlotCount; ++slot) {
                const int row = launcher.rowIn[slot];
                if (launcher.running[slot])
                    launcher.Finish(row, codes.count(row) ? codes.at(row) : 404);
            }
        }
        ASSERT_FALSE(check.running());
    }
    std::string StatusText(int row) const
    {
        return GetUrlRowField(rows[row], UrlRowField::StatusText);
    }
    char Mark(int row) const { return rows[row][1]; }

    FakeLauncher launcher;
    SecondsCounter clock; // never started: moved by hand
    CheckUrls check{launcher, clock};
    RecordList records;
    RecordList rows;
};

inline std::string Padded(const std::string& text)
{
    return text + std::string(40 - text.size(), ' ');
}

} // namespace orvex::checktest

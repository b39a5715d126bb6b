#pragma once

// Small file helpers shared by the tests.
#include "workspace/RecordFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace orvex::testfiles {

inline std::string ReadBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// True also for a link whose target is gone.
inline bool Exists(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

inline RecordList LoadList(const std::filesystem::path& file)
{
    RecordList lines;
    EXPECT_TRUE(LoadRecordFile(file, lines).ok()) << file;
    return lines;
}

// Writes a record file the way the program does, without going through it.
inline void SaveList(const std::filesystem::path& file, const RecordList& lines)
{
    std::string bytes;
    ASSERT_TRUE(CompressRecords(lines, bytes));
    WriteBytes(file, bytes);
}

// The copies a damaged record file was set aside as.
inline std::vector<std::filesystem::path> DamagedCopies(const std::filesystem::path& file)
{
    std::vector<std::filesystem::path> found;
    const std::string prefix = file.filename().string() + ".damaged-";
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(entry.path());
    }
    return found;
}

} // namespace orvex::testfiles

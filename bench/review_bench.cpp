// Times GenerateReviews, all three pages, for a large project whose URLs all
// have a digest (excerpt sections and a list of links); half of them also have
// an icon and a thumbnail. Also times each style alone, and writing pages of
// the same size without making them.
//
// Usage: bench_review [URL count, default 10000]
#include "review/ReviewGenerator.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <sys/resource.h>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

const char* const kWords[] = {"garden", "News", "archive", "zebra", "Ölmühle", "index,", "blog.",
                              "Shop", "école", "travel", "the", "of", "and", "a", "with",
                              "SupercalifragilisticExpialidocious1234"};

std::string Words(std::mt19937& random, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += kWords[random() % std::size(kWords)];
        text += ' ';
    }
    return text;
}

// A digest as a capture leaves it: title, description, about 40 links, page text.
std::string MakeDigest(std::mt19937& random, int n)
{
    const std::string divider = "\x01\x07\r\n";
    std::string digest = "Page " + std::to_string(n) + "\r\n" + divider;
    digest += Words(random, 40) + "\r\n" + divider;
    for (int link = 0; link < 40; ++link)
        digest += "\"https://site" + std::to_string(n) + ".example/p/" + std::to_string(link) +
                  "?a=1&b=2\">" + Words(random, 3) + "<\r\n";
    digest += divider;
    for (int line = 0; line < 30; ++line)
        digest += Words(random, 12) + "\r\n";
    return digest;
}

std::string ReadWhole(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CpuTimes
{
    double user;
    double system;
};

CpuTimes Cpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    const fs::path folder = fs::path(dir.path().toStdString()) / "00000000";
    for (const char* sub : {"Icon", "Screenshot", "Data"})
        fs::create_directories(folder / sub);

    std::mt19937 random(5);
    RecordList records;
    for (int i = 0; i < count; ++i) {
        char id[20];
        std::snprintf(id, sizeof id, "bench%014d", i);
        records.push_back(MakeUrlRecord(id, "00000000", "05/14/2024 10:00:00",
                                        "https://www.site" + std::to_string(i) +
                                            ".example/section/page.html?q=" + std::to_string(i)));
        SetUrlField(records, i, Words(random, 8), UrlField::Title);
        std::ofstream(folder / "Data" / (std::string(id) + ".dt"), std::ios::binary)
            << MakeDigest(random, i);
        if (i % 2 == 0) {
            std::ofstream(folder / "Icon" / (std::string(id) + ".ico")) << "icon";
            std::ofstream(folder / "Screenshot" / (std::string(id) + ".jpg")) << "jpg";
        }
    }
    RecordList rows;
    BuildUrlRows(records, rows);
    const ReviewInput input{folder, rows, "Benchmark project"};

    std::printf("%d URLs, each with a digest of about %zu bytes\n", count,
                static_cast<std::size_t>(fs::file_size(folder / "Data" / "bench00000000000000.dt")));
    QElapsedTimer timer;
    for (int round = 1; round <= 3; ++round) {
        timer.start();
        const CpuTimes before = Cpu();
        const Status status = GenerateReviews(input);
        const CpuTimes after = Cpu();
        std::printf("GenerateReviews, run %d:      %7.3f s (user %.3f s, system %.3f s)%s\n",
                    round, Seconds(timer), after.user - before.user,
                    after.system - before.system,
                    status ? "" : (" FAILED: " + status.message()).c_str());
    }
    using Generator = Status (*)(const ReviewInput&, const ReviewProgress&);
    const std::pair<const char*, Generator> styles[] = {
        {"GenerateSimpleReview:        ", GenerateSimpleReview},
        {"GenerateGalleryReview:       ", GenerateGalleryReview},
        {"GenerateGrayGraniteReview:   ", GenerateGrayGraniteReview}};
    for (const auto& [name, generate] : styles) {
        timer.start();
        generate(input, {});
        std::printf("%s%7.3f s\n", name, Seconds(timer));
    }
    // How much of it is only writing the pages out.
    std::string pages[3];
    double megabytes = 0;
    for (int style : {1, 2, 3}) {
        pages[style - 1] = ReadWhole(ReviewPagePath(folder, style));
        megabytes += static_cast<double>(pages[style - 1].size()) / 1e6;
    }
    timer.start();
    for (int style : {1, 2, 3})
        WriteFileSafely(folder / ("copy" + std::to_string(style) + ".html"), pages[style - 1]);
    std::printf("Writing the %.1f MB of pages alone: %7.3f s\n", megabytes, Seconds(timer));
    return 0;
}

#include "HeadlessChromium.h"

#include <QProcess>
#include <QUrl>

#include <atomic>

namespace fs = std::filesystem;

namespace orvex::test {

bool DumpDom(const fs::path& page, const fs::path& scratch, std::string& dom, std::string& error)
{
    static std::atomic<int> runs{0};
    const fs::path run = scratch / ("chromium-run-" + std::to_string(++runs));
    const fs::path home = run / "home";
    fs::create_directories(home);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / ".config").string()));
    env.insert("XDG_CACHE_HOME", QString::fromStdString((home / ".cache").string()));
    QProcess chromium;
    chromium.setProcessEnvironment(env);
    const QString url =
        QUrl::fromLocalFile(QString::fromStdString(fs::absolute(page).string())).toString();
    chromium.start(QString::fromStdString(kChromium.string()),
                   {"--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                    "--no-default-browser-check", "--disable-extensions",
                    "--disable-background-networking", "--disable-component-update",
                    "--disable-sync", "--log-level=3",
                    "--user-data-dir=" + QString::fromStdString((run / "profile").string()),
                    "--dump-dom", url});
    if (!chromium.waitForStarted(30000)) {
        error = "chromium did not start: " + chromium.errorString().toStdString();
        return false;
    }
    if (!chromium.waitForFinished(120000)) {
        chromium.kill();
        chromium.waitForFinished(10000);
        error = "chromium did not finish within two minutes";
        return false;
    }
    dom = chromium.readAllStandardOutput().toStdString();
    if (chromium.exitStatus() != QProcess::NormalExit || chromium.exitCode() != 0 || dom.empty()) {
        error = "chromium failed (exit " + std::to_string(chromium.exitCode()) + "): " +
                chromium.readAllStandardError().right(2000).toStdString();
        return false;
    }
    return true;
}

} // namespace orvex::test

#pragma once

// Finds the processes that carry a marker in their environment: a test sets
// a unique marker for the program it runs, and everything that program
// starts (workers, browsers and their helpers) inherits it, so what is left
// running afterwards can be told apart from other tests' processes.
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace orvex::testfiles {

inline std::vector<pid_t> ProcessesWithEnvironment(const QByteArray& entry)
{
    std::vector<pid_t> found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& name : pids) {
        bool number = false;
        const pid_t pid = name.toInt(&number);
        if (!number)
            continue;
        QFile environment(QStringLiteral("/proc/%1/environ").arg(name));
        if (!environment.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> entries = environment.readAll().split('\0');
        // A zombie shows an empty environment and is gone once reaped.
        if (entries.contains(entry))
            found.push_back(pid);
    }
    return found;
}

// Waits up to the limit for every such process to be gone; returns those left.
inline std::vector<pid_t> ProcessesLeft(const QByteArray& entry,
                                        std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<pid_t> left = ProcessesWithEnvironment(entry);
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = ProcessesWithEnvironment(entry);
    }
    return left;
}

} // namespace orvex::testfiles

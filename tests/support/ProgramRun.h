#pragma once

// Runs one of the built programs to its end, as the end-to-end tests do.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <ostream>
#include <string>

namespace orvex::testfiles {

struct ProgramResult
{
    int code = -1; // -2 when it did not end normally
    std::string out;
    std::string err;
};

// Shown when an expectation about a run fails.
inline std::ostream& operator<<(std::ostream& os, const ProgramResult& r)
{
    return os << "exit " << r.code << "\n--- stdout:\n" << r.out << "--- stderr:\n" << r.err;
}

// Feeds input on standard input, then waits at most two minutes.
inline ProgramResult RunProgram(const QString& program, const QStringList& args,
                                const QByteArray& input = {}, const QString& workingDir = {})
{
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, args);
    ProgramResult r;
    if (!process.waitForStarted(10000)) {
        r.err = program.toStdString() + " did not start: " + process.errorString().toStdString();
        return r;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        r.err = program.toStdString() + " did not finish";
        return r;
    }
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    return r;
}

} // namespace orvex::testfiles

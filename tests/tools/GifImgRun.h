#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

// gifimg run as a whole process, as a user runs it.
struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

inline Outcome gifimg(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(GIFIMG_PATH, arguments);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), process.readAllStandardOutput(),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

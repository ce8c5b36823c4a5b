#ifndef HW_FUZZ_FUZZINPUT_H
#define HW_FUZZ_FUZZINPUT_H

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The readers under test take file paths, as the program calls them; each
// input is written to one scratch file of the process first.
class FuzzInput
{
public:
    static QString file(const uint8_t* data, size_t size)
    {
        static QTemporaryDir dir;
        static const QString path = dir.filePath(QStringLiteral("input"));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the fuzz input file %s", qPrintable(path));
        out.write(reinterpret_cast<const char*>(data), qint64(size));
        out.close();
        return path;
    }

    // The readers' warnings on bad input are expected; printing them would
    // only slow the run down.
    static void silenceMessages()
    {
        // A fatal message still aborts after the handler returns.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtFatalMsg)
                fprintf(stderr, "%s\n", qPrintable(text));
        });
    }
};

#endif // HW_FUZZ_FUZZINPUT_H

// A second process for the archive tests: stores inspections through the
// wizard's recorder (its writer thread, one transaction each) as fast as it
// can, while the test reads the same archive. Once the first one is stored
// (the archive made) it says "ready" and waits for a line on its input, so
// the test can start reading before the rest follow.
//   archive_writer_helper FILE COUNT
#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>

#include "ArchiveRecorder.h"
#include "ReadingLog.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    ArchiveLocation location;
    location.file = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    ArchiveRecorder recorder(location, location.file + QStringLiteral(".journal"));
    int stored = 0;
    int failed = 0;
    QEventLoop loop;
    QObject::connect(&recorder, &ArchiveRecorder::stored, &loop, [&] {
        if (++stored + failed == count)
            loop.quit();
    });
    QObject::connect(&recorder, &ArchiveRecorder::failed, &loop, [&](const QString &message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        if (stored + ++failed == count)
            loop.quit();
    });
    const QList<PlanEntry> plan{{0, true}, {10, true}, {12, true}};
    for (int n = 0; n < count; ++n) {
        if (n == 1) {
            while (stored + failed < 1)
                loop.processEvents(QEventLoop::WaitForMoreEvents);
            std::printf("ready\n");
            std::fflush(stdout);
            char line[16];
            if (!std::fgets(line, sizeof line, stdin))
                return 2;
        }
        recorder.readingsDiscarded();
        recorder.categoryReceived(QStringLiteral("M1 - személygépkocsi"));
        // Up to 60 readings, so a reader that saw half an inspection would notice.
        ReadingLog log;
        for (int r = 0; r <= n % 60; ++r)
            log.append(r % 23, {r % 2 ? Substrate::AL : Substrate::FE, 50 + r, ReadingSource::Gauge,
                                QDateTime::currentDateTime()});
        recorder.store(log, plan);
    }
    loop.exec();
    std::printf("stored %d failed %d\n", stored, failed);
    return failed == 0 ? 0 : 1;
}

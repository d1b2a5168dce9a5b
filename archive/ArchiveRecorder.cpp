#include "ArchiveRecorder.h"

#include "ArchiveJournal.h"
#include "ArchiveSettings.h"
#include "ArchiveWriter.h"
#include "ConnectionWatch.h"
#include "DurableFile.h"
#include "InspectionJson.h"
#include "JournalKeeper.h"
#include "ReadingLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// A journal entry of a program that is gone: copied into the journal's
// folder, the next start takes it over.
const QString kRescuedPrefix = QStringLiteral("KromaglenForZov-megmentett.");

} // namespace

ArchiveRecorder::ArchiveRecorder(const ArchiveLocation &location, const QString &journalFolder,
                                 const QString &notice, QObject *parent)
    : QObject(parent), m_location(location),
      m_journal(std::make_unique<ArchiveJournal>(journalFolder)), m_uid(newUid()), m_notice(notice)
{
    connect(this, &ArchiveRecorder::failed, this,
            [this](const QString &message, const QString &description) {
                Q_EMIT logged(message + QStringLiteral(" | ") + description);
            });
    m_keepTimer.setSingleShot(true);
    m_keepTimer.setInterval(kKeepMs);
    connect(&m_keepTimer, &QTimer::timeout, this, &ArchiveRecorder::keepSnapshot);
    // What an earlier run left (closed before the archive answered, or killed) goes first.
    if (ArchiveJournal::hasEntries(journalFolder)) {
        startWriter();
        QMetaObject::invokeMethod(m_writer, &ArchiveWriter::replay);
    }
}

ArchiveRecorder::~ArchiveRecorder()
{
    finish(kCloseWaitMs);
}

void ArchiveRecorder::startWriter()
{
    if (m_thread)
        return;
    try {
        m_journal->open();
    } catch (const Failure &) {
        // Told with the first store, whose journal entry then fails as well.
    }
    m_thread = new QThread;
    m_watch = new ConnectionWatch;
    m_thread->setObjectName(QStringLiteral("archive writer"));
    m_writer = new ArchiveWriter(m_location, *m_journal, m_watch);
    m_writer->moveToThread(m_thread);
    connect(m_writer, &ArchiveWriter::stored, this, [this](qint64 id) { Q_EMIT stored(id); });
    connect(m_writer, &ArchiveWriter::failed, this, &ArchiveRecorder::failed);
    connect(m_writer, &ArchiveWriter::notice, this, &ArchiveRecorder::failed);
    connect(m_writer, &ArchiveWriter::upgraded, this, &ArchiveRecorder::logged);
    connect(m_writer, &ArchiveWriter::unfinishedFound, this, &ArchiveRecorder::unfinishedFound);
    m_thread->start();
    m_watch->start();
}

void ArchiveRecorder::startKeeper()
{
    if (m_keeper)
        return;
    m_keeper = std::make_unique<JournalKeeper>(*m_journal);
    connect(m_keeper.get(), &JournalKeeper::keepFailed, this, [this](const QString &reason) {
        Q_EMIT failed(QStringLiteral("A mérések most NEM kerülnek biztonságba! Oka: ") + reason,
                      QStringLiteral("A mérések naplója (a munkamappa Kromaglen_archive.journal "
                                     "mappája) nem írható: a mappa írásvédett, vagy betelt a "
                                     "lemez. A mérés folytatható, és a program tovább próbálja a "
                                     "naplót írni, de ha a program most váratlanul leáll, az "
                                     "eddigi mérések elvesznek.\r\rMegoldás: szabadítson fel "
                                     "helyet a lemezen, vagy tegye írhatóvá a mappát."));
    });
    connect(m_keeper.get(), &JournalKeeper::keepWorks, this,
            [this] { Q_EMIT logged(QStringLiteral("A mérések naplója újra írható.")); });
}

QString ArchiveRecorder::rescue(const QList<Inspection> &inspections) const
{
    // Another disk where there is one (the temporary folder), else the home folder.
    const QStringList folders{QStandardPaths::writableLocation(QStandardPaths::TempLocation),
                              QDir::homePath(),
                              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)};
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        try {
            for (const Inspection &inspection : inspections)
                DurableFile::write(folder + u'/' + kRescuedPrefix + inspection.uid +
                                       QStringLiteral(".json"),
                                   InspectionJson::encode({inspection}));
            return QDir::toNativeSeparators(folder);
        } catch (const Failure &) {
            // The next folder.
        }
    }
    return {};
}

ArchiveRecorder::Finish ArchiveRecorder::finish(int waitMs)
{
    if (m_finished)
        return m_finish;
    m_finished = true;
    m_keepTimer.stop();
    const QDeadlineTimer deadline(waitMs);
    // The journal's entries first: what is handed to the writer passes it.
    if (m_keeper && !m_keeper->flush(int(deadline.remainingTime())))
        std::fprintf(stderr, "Kromaglen: a mérések naplója nem készült el %d ms alatt.\n", waitMs);
    if (!m_thread)
        return m_finish;
    m_watch->stop();
    QThread *thread = m_thread;
    ArchiveWriter *writer = m_writer;
    // After every store already queued: the last try, then the thread ends.
    QMetaObject::invokeMethod(writer, [writer, thread] {
        writer->finish();
        thread->quit();
    });
    const bool ended = thread->wait(QDeadlineTimer(qMax<qint64>(deadline.remainingTime(), 0)));
    const ArchiveWriter::Outstanding left = writer->outstanding();
    m_finish.left = left.count;
    m_finish.unjournaled = int(left.unjournaled.size());
    if (!left.unjournaled.isEmpty())
        m_finish.rescuedTo = rescue(left.unjournaled);
    if (!ended) {
        // The archive has not answered (a server that stopped answering mid-way).
        // The thread is left to the end of the program; the journal keeps the rest.
        std::fprintf(stderr, "Kromaglen: az archívum nem válaszolt %d ms alatt.\n", waitMs);
        disconnect(writer, nullptr, this, nullptr);
        m_thread = nullptr;
        m_writer = nullptr;
        m_watch = nullptr; // left to the writer
    } else {
        delete m_writer;
        delete std::exchange(m_watch, nullptr);
        delete m_thread;
        m_writer = nullptr;
        m_thread = nullptr;
    }
    const int journaled = m_finish.left - m_finish.unjournaled;
    if (journaled > 0)
        std::fprintf(stderr,
                     "Kromaglen: %d mérés nem került az archívumba; a naplóban maradt, és a "
                     "következő indításkor a program újra megpróbálja.\n",
                     journaled);
    if (m_finish.unjournaled > 0 && !m_finish.rescuedTo.isEmpty())
        std::fprintf(stderr,
                     "Kromaglen: %d mérést a napló nem tudott megőrizni; a program ide mentette: "
                     "%s\n",
                     m_finish.unjournaled, qPrintable(m_finish.rescuedTo));
    else if (m_finish.unjournaled > 0)
        std::fprintf(stderr,
                     "Kromaglen: %d mérés ELVESZETT: sem a napló, sem más mappa nem volt írható.\n",
                     m_finish.unjournaled);
    return m_finish;
}

void ArchiveRecorder::beginNew()
{
    m_uid = newUid();
    m_revision = 0;
    m_interrupted = false;
    m_sent.clear();
    if (m_nextCategory) {
        m_category = *std::exchange(m_nextCategory, std::nullopt);
        m_categoryAt = m_nextCategoryAt;
    } else {
        m_category.clear();
        m_categoryAt = QDateTime();
    }
}

void ArchiveRecorder::readingsDiscarded()
{
    // The person emptied the log: what it held is not kept.
    discardInProgress();
    if (m_revision > 0) {
        beginNew();
    } else {
        // Not yet stored: the category may have come for the vehicle now being measured.
        m_sent.clear();
        if (m_nextCategory) {
            m_category = *std::exchange(m_nextCategory, std::nullopt);
            m_categoryAt = m_nextCategoryAt;
        }
    }
}

void ArchiveRecorder::categoryReceived(const QString &line)
{
    const QString category = boundedCategory(line);
    const QDateTime now = QDateTime::currentDateTime();
    if (m_revision > 0) {
        m_nextCategory = category;
        m_nextCategoryAt = now;
    } else {
        m_category = category;
        m_categoryAt = now;
    }
    changed();
}

void ArchiveRecorder::pointSent(int point)
{
    if (!isValidPoint(point))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    auto at = std::lower_bound(m_sent.begin(), m_sent.end(), point,
                               [](const SentPoint &s, int p) { return s.point < p; });
    if (at != m_sent.end() && at->point == point)
        at->sentAt = now;
    else
        m_sent.insert(at, {point, now});
    changed();
}

std::optional<Inspection> ArchiveRecorder::make(const ReadingLog &log, const QList<PlanEntry> &plan)
{
    Inspection inspection;
    for (int point = 0; isValidPoint(point); ++point) {
        for (const Reading &r : log.readings(point))
            inspection.readings.append({point, r});
    }
    if (inspection.readings.isEmpty())
        return std::nullopt;
    std::stable_sort(
        inspection.readings.begin(), inspection.readings.end(),
        [](const ArchivedReading &a, const ArchivedReading &b) { return a.takenAt < b.takenAt; });
    inspection.uid = m_uid;
    // The settings file as it is now: the station's name and the limits in force.
    const ArchiveSettings settings =
        m_settingsPath.isEmpty() ? ArchiveSettings() : ArchiveSettings::read(m_settingsPath);
    inspection.station = settings.station;
    inspection.category = m_category;
    inspection.sent = m_sent;
    inspection.plan = plan;
    inspection.ended = QDateTime::currentDateTimeUtc();
    inspection.started = inspection.readings.first().takenAt;
    if (m_categoryAt.isValid() &&
        (!inspection.started.isValid() || m_categoryAt < inspection.started))
        inspection.started = m_categoryAt;
    if (!inspection.started.isValid())
        inspection.started = inspection.ended;
    inspection.judgedWith = settings.bands;
    inspection.interrupted = m_interrupted;
    return inspection;
}

bool ArchiveRecorder::store(const ReadingLog &log, const QList<PlanEntry> &plan)
{
    bool any = false;
    for (int point = 0; isValidPoint(point) && !any; ++point)
        any = log.count(point) > 0;
    if (!any)
        return false;
    // The readings were kept across a category sent again: still the same vehicle.
    if (m_nextCategory) {
        m_category = *std::exchange(m_nextCategory, std::nullopt);
        m_categoryAt = m_nextCategoryAt;
    }
    std::optional<Inspection> inspection = make(log, plan);
    inspection->revision = ++m_revision;
    // The finished entry takes the place of the one in progress.
    m_keepTimer.stop();
    m_openKept = false;
    if (!m_notice.isEmpty()) {
        Q_EMIT failed(std::exchange(m_notice, QString()),
                      QStringLiteral("Az archívum beállításai a munkamappa ") +
                          ArchiveSettings::kFileName + QStringLiteral(" fájljában vannak."));
    }
    handOver(*inspection);
    return true;
}

void ArchiveRecorder::handOver(const Inspection &inspection)
{
    startWriter();
    bool journaled = true;
    try {
        // Synced before the call returns: from then on neither a kill nor a
        // power cut loses it.
        m_journal->write(inspection);
    } catch (const Failure &f) {
        journaled = false;
        Q_EMIT failed(QStringLiteral("A mérést a program NEM tudta biztonságosan megőrizni! "
                                     "Oka: ") +
                          f.reason(),
                      QStringLiteral("A mérés naplója (a munkamappa Kromaglen_archive.journal "
                                     "mappája) nem írható: a mappa írásvédett, vagy betelt a "
                                     "lemez. A program most megpróbálja a mérést közvetlenül az "
                                     "archívumba írni, és közben újra a naplóba is; ha egyik sem "
                                     "sikerül a program bezárásáig, a program egy másik írható "
                                     "mappába menti, és megmondja, hová."));
    }
    // The finished entry takes the place of the one in progress, which
    // stays while the finished one could not be written.
    if (journaled) {
        startKeeper();
        m_keeper->removeOpen(inspection.uid);
    }
    m_writer->expect(inspection, journaled);
    QMetaObject::invokeMethod(m_writer, [writer = m_writer, inspection, journaled] {
        writer->store(inspection, journaled);
    });
}

void ArchiveRecorder::changed()
{
    if (!m_finished && !m_keepTimer.isActive())
        m_keepTimer.start();
}

void ArchiveRecorder::keepSnapshot()
{
    if (!m_source || m_finished)
        return;
    const InProgress now = m_source();
    std::optional<Inspection> inspection = now.log ? make(*now.log, now.plan) : std::nullopt;
    if (!inspection) {
        discardInProgress();
        return;
    }
    inspection->revision = m_revision + 1;
    startKeeper();
    m_keeper->keepOpen(*inspection);
    m_openKept = true;
}

bool ArchiveRecorder::keepNow(int waitMs)
{
    m_keepTimer.stop();
    keepSnapshot();
    return !m_keeper || m_keeper->flush(waitMs);
}

void ArchiveRecorder::discardInProgress()
{
    m_keepTimer.stop();
    if (!std::exchange(m_openKept, false))
        return;
    startKeeper();
    m_keeper->removeOpen(m_uid);
}

void ArchiveRecorder::resume(const Inspection &inspection)
{
    m_uid = inspection.uid;
    m_revision = inspection.revision;
    m_category = inspection.category;
    m_categoryAt = inspection.category.isEmpty() ? QDateTime() : inspection.started;
    m_nextCategory.reset();
    m_sent = inspection.sent;
    m_interrupted = true;
    m_openKept = true; // its entry is this program's now
    changed();
}

void ArchiveRecorder::storeInterrupted(Inspection inspection)
{
    inspection.interrupted = true;
    handOver(inspection);
}

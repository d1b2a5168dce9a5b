#include "ArchiveRecorder.h"

#include "ArchiveJournal.h"
#include "ArchiveSettings.h"
#include "ArchiveWriter.h"
#include "ConnectionWatch.h"
#include "ReadingLog.h"

#include <QDeadlineTimer>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

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
    m_thread->start();
    m_watch->start();
}

bool ArchiveRecorder::finish(int waitMs)
{
    if (!m_thread || m_finished)
        return true;
    m_finished = true;
    m_watch->stop();
    QThread *thread = m_thread;
    ArchiveWriter *writer = m_writer;
    const auto left = std::make_shared<std::atomic<int>>(-1);
    // After every store already queued: the last try, then the thread ends.
    QMetaObject::invokeMethod(writer, [writer, thread, left] {
        writer->finish();
        *left = writer->pendingCount();
        thread->quit();
    });
    if (!thread->wait(QDeadlineTimer(waitMs))) {
        // The archive has not answered (a server that stopped answering mid-way).
        // The thread is left to the end of the program; the journal keeps the rest.
        std::fprintf(stderr,
                     "Kromaglen: az archívum nem válaszolt %d ms alatt; a nem mentett mérések a "
                     "naplóban maradtak, és a következő indításkor kerülnek az archívumba.\n",
                     waitMs);
        disconnect(writer, nullptr, this, nullptr);
        m_thread = nullptr;
        m_writer = nullptr;
        m_watch = nullptr; // left to the writer
        return false;
    }
    delete m_writer;
    delete std::exchange(m_watch, nullptr);
    delete m_thread;
    m_writer = nullptr;
    m_thread = nullptr;
    if (*left > 0)
        std::fprintf(stderr,
                     "Kromaglen: %d mérés nem került az archívumba; a naplóban maradt, és a "
                     "következő indításkor a program újra megpróbálja.\n",
                     int(*left));
    return *left == 0;
}

void ArchiveRecorder::beginNew()
{
    m_uid = newUid();
    m_revision = 0;
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
}

bool ArchiveRecorder::store(const ReadingLog &log, const QList<PlanEntry> &plan)
{
    Inspection inspection;
    for (int point = 0; isValidPoint(point); ++point) {
        for (const Reading &r : log.readings(point))
            inspection.readings.append({point, r});
    }
    if (inspection.readings.isEmpty())
        return false;
    std::stable_sort(
        inspection.readings.begin(), inspection.readings.end(),
        [](const ArchivedReading &a, const ArchivedReading &b) { return a.takenAt < b.takenAt; });
    // The readings were kept across a category sent again: still the same vehicle.
    if (m_nextCategory) {
        m_category = *std::exchange(m_nextCategory, std::nullopt);
        m_categoryAt = m_nextCategoryAt;
    }
    inspection.uid = m_uid;
    inspection.revision = ++m_revision;
    // The settings file as it is now: the station's name and the limits in force.
    const ArchiveSettings settings =
        m_settingsPath.isEmpty() ? ArchiveSettings() : ArchiveSettings::read(m_settingsPath);
    inspection.station = settings.station;
    inspection.category = m_category;
    inspection.sent = m_sent;
    inspection.plan = plan;
    inspection.ended = QDateTime::currentDateTime();
    inspection.started = inspection.readings.first().takenAt;
    if (m_categoryAt.isValid() &&
        (!inspection.started.isValid() || m_categoryAt < inspection.started))
        inspection.started = m_categoryAt;
    if (!inspection.started.isValid())
        inspection.started = inspection.ended;
    inspection.judgedWith = settings.bands;

    startWriter();
    bool journaled = true;
    try {
        m_journal->write(inspection);
    } catch (const Failure &f) {
        journaled = false;
        Q_EMIT failed(QStringLiteral("A mérést a program NEM tudta biztonságosan megőrizni! "
                                     "Oka: ") +
                          f.reason(),
                      QStringLiteral("A mérés naplója (a munkamappa Kromaglen_archive.journal "
                                     "mappája) nem írható: a mappa írásvédett, vagy betelt a "
                                     "lemez. A program most megpróbálja a mérést közvetlenül az "
                                     "archívumba írni; ha ez sem sikerül, a mérés a program "
                                     "bezárásakor elvész."));
    }
    if (!m_notice.isEmpty()) {
        Q_EMIT failed(std::exchange(m_notice, QString()),
                      QStringLiteral("Az archívum beállításai a munkamappa ") +
                          ArchiveSettings::kFileName + QStringLiteral(" fájljában vannak."));
    }
    QMetaObject::invokeMethod(m_writer, [writer = m_writer, inspection, journaled] {
        writer->store(inspection, journaled);
    });
    return true;
}

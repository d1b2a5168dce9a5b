#include "ArchiveRecorder.h"

#include "ArchiveSettings.h"
#include "ArchiveWriter.h"

#include <QSysInfo>
#include <QUuid>
#include <algorithm>

namespace {

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

ArchiveRecorder::ArchiveRecorder(const ArchiveLocation &location, const QString &pendingPath,
                                 const QString &notice, QObject *parent)
    : QObject(parent), m_location(location), m_writer(new ArchiveWriter(location, pendingPath)),
      m_notice(notice)
{
    m_thread.setObjectName(QStringLiteral("archive writer"));
    m_writer->moveToThread(&m_thread);
    connect(m_writer, &ArchiveWriter::stored, this, [this](qint64 id) { Q_EMIT stored(id); });
    connect(m_writer, &ArchiveWriter::failed, this, &ArchiveRecorder::failed);
    connect(m_writer, &ArchiveWriter::notice, this, &ArchiveRecorder::failed);
    m_thread.start();
    m_current.uid = newUid();
    m_current.station = QSysInfo::machineHostName();
}

ArchiveRecorder::~ArchiveRecorder()
{
    QMetaObject::invokeMethod(m_writer, &ArchiveWriter::finish, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_writer;
}

void ArchiveRecorder::startClock()
{
    if (!m_current.started.isValid())
        m_current.started = QDateTime::currentDateTime();
}

void ArchiveRecorder::beginNewIfStored()
{
    if (!m_stored)
        return;
    m_stored = false;
    m_current.uid = newUid();
    m_current.started = QDateTime();
    m_current.category.clear();
    m_current.sent.clear();
}

void ArchiveRecorder::readingRecorded(int point, Substrate substrate, int value,
                                      ReadingSource source)
{
    if (!isValidPoint(point))
        return;
    startClock();
    const QDateTime now = QDateTime::currentDateTime();
    m_taken[size_t(point)].append({++m_order, {point, substrate, value, source, now}});
}

void ArchiveRecorder::readingDeleted(int point, int line)
{
    if (!isValidPoint(point))
        return;
    QList<Taken> &taken = m_taken[size_t(point)];
    if (line >= 0 && line < taken.size())
        taken.removeAt(line);
}

void ArchiveRecorder::readingsDiscarded()
{
    for (QList<Taken> &taken : m_taken)
        taken.clear();
    if (m_stored) {
        beginNewIfStored();
    } else {
        // The category may have come for the vehicle now being measured.
        m_current.sent.clear();
        if (m_current.category.isEmpty())
            m_current.started = QDateTime();
    }
}

void ArchiveRecorder::categoryReceived(const QString &category)
{
    // A category after the inspection was stored announces the next vehicle.
    beginNewIfStored();
    startClock();
    m_current.category = category;
}

void ArchiveRecorder::pointSent(int point)
{
    if (!isValidPoint(point))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    auto at = std::lower_bound(m_current.sent.begin(), m_current.sent.end(), point,
                               [](const SentPoint &s, int p) { return s.point < p; });
    if (at != m_current.sent.end() && at->point == point)
        at->sentAt = now;
    else
        m_current.sent.insert(at, {point, now});
}

Inspection ArchiveRecorder::current() const
{
    Inspection inspection = m_current;
    QList<Taken> all;
    for (const QList<Taken> &taken : m_taken)
        all.append(taken);
    std::sort(all.begin(), all.end(),
              [](const Taken &a, const Taken &b) { return a.order < b.order; });
    inspection.readings.reserve(all.size());
    for (const Taken &t : all)
        inspection.readings.append(t.reading);
    return inspection;
}

bool ArchiveRecorder::store(const QList<PlanEntry> &plan)
{
    Inspection inspection = current();
    if (inspection.readings.isEmpty())
        return false;
    inspection.plan = plan;
    inspection.ended = QDateTime::currentDateTime();
    m_stored = true;
    if (!m_notice.isEmpty()) {
        Q_EMIT failed(std::exchange(m_notice, QString()),
                      QStringLiteral("Az archívum beállításai a munkamappa ") +
                          ArchiveSettings::kFileName + QStringLiteral(" fájljában vannak."));
    }
    QMetaObject::invokeMethod(m_writer,
                              [writer = m_writer, inspection] { writer->store(inspection); });
    return true;
}

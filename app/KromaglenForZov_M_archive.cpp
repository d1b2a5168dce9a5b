// What the wizard tells the inspection archive: readings taken and deleted,
// the category, the points handed over, and leaving the last page, when the
// inspection is stored. Without an archive these do nothing.
#include "KromaglenForZov_M.h"

#include "ArchiveRecorder.h"
#include "Widgets.h"

void TF_Main::connectArchive()
{
    if (m_services.archive)
        connect(m_services.archive, &ArchiveRecorder::failed, this, &TF_Main::ShowInfo);
}

void TF_Main::archiveReading(int point, bool typed)
{
    if (m_services.archive)
        m_services.archive->readingRecorded(
            point, substrateFromName(P_ActMetal->text()).value_or(Substrate::FE),
            P_ActMeasValue->text().toInt(), typed ? ReadingSource::Typed : ReadingSource::Gauge);
}

void TF_Main::archiveDeleted(int point, int line)
{
    if (m_services.archive)
        m_services.archive->readingDeleted(point, line);
}

void TF_Main::archiveDiscarded()
{
    if (m_services.archive)
        m_services.archive->readingsDiscarded();
}

void TF_Main::archiveCategory(const QString &category)
{
    if (m_services.archive)
        m_services.archive->categoryReceived(category);
}

void TF_Main::archiveSent(int point)
{
    if (m_services.archive)
        m_services.archive->pointSent(point);
}

void TF_Main::archiveInspection()
{
    if (!m_services.archive)
        return;
    const PlanSnapshot plan = m_plan.snapshot();
    m_services.archive->store(QList<PlanEntry>(plan.begin(), plan.end()));
}

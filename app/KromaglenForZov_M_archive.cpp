// What the wizard tells the inspection archive: the readings discarded, the
// category, the points handed over, and leaving the last page, when the
// inspection is made from the reading log and stored. Without an archive
// these do nothing.
#include "KromaglenForZov_M.h"

#include "ArchiveRecorder.h"

void TF_Main::connectArchive()
{
    if (m_services.archive)
        connect(m_services.archive, &ArchiveRecorder::failed, this, &TF_Main::ShowInfo);
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
    m_services.archive->store(m_log, QList<PlanEntry>(plan.begin(), plan.end()));
}

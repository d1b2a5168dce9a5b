// What the inspection archive tells the person.
#include "KromaglenForZov_M.h"

#include "ArchiveRecorder.h"

void TF_Main::connectArchive()
{
    if (m_services.archive)
        connect(m_services.archive, &ArchiveRecorder::failed, this, &TF_Main::ShowInfo);
}

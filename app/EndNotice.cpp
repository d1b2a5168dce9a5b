#include "EndNotice.h"

#include <QMessageBox>
#include <QTimer>

namespace {

constexpr int kShownMs = 15000;

} // namespace

QString EndNotice::text(const ArchiveRecorder::Finish &finish)
{
    QStringList parts;
    const int journaled = finish.left - finish.unjournaled;
    if (journaled > 0)
        parts << QStringLiteral("Az archívum most nem érhető el, ezért %1 még nem mentett "
                                "vizsgálat a munkamappa Kromaglen_archive.journal mappájában "
                                "maradt. A program a következő indításkor az archívumba írja; "
                                "nem veszett el.")
                     .arg(journaled);
    if (finish.unjournaled > 0 && !finish.rescuedTo.isEmpty())
        parts << QStringLiteral("%1 vizsgálatot a napló nem tudott megőrizni (a munkamappa nem "
                                "írható, vagy betelt a lemez), ezért a program ebbe a mappába "
                                "mentette: %2 (KromaglenForZov-megmentett.*.json). Amint a "
                                "munkamappában újra van hely, másolja ezeket a fájlokat a "
                                "Kromaglen_archive.journal mappába: a program a következő "
                                "indításkor az archívumba írja őket.")
                     .arg(finish.unjournaled)
                     .arg(finish.rescuedTo);
    else if (finish.unjournaled > 0)
        parts << QStringLiteral("%1 vizsgálat ELVESZETT: sem az archívum, sem a napló, sem más "
                                "mappa nem volt írható.")
                     .arg(finish.unjournaled);
    return parts.join(QStringLiteral("\n\n"));
}

void EndNotice::show(const ArchiveRecorder::Finish &finish)
{
    const QString said = text(finish);
    if (said.isEmpty())
        return;
    const bool lost = finish.unjournaled > 0 && finish.rescuedTo.isEmpty();
    QMessageBox box(lost ? QMessageBox::Critical : QMessageBox::Information,
                    QStringLiteral("Kromaglen"), said, QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    QTimer::singleShot(kShownMs, &box, &QMessageBox::accept);
    box.exec();
}

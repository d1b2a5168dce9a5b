// The archive window: reads the settings and the archive of the working folder.
#include "ArchiveSettings.h"
#include "ArchiveWindow.h"
#include "EventLog.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KromaglenArchive"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kromaglenarchive.png")));
    // Qt's own dialogs (file, print) in Hungarian, where its translation is installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QApplication::applicationDirPath() + QStringLiteral("/translations")))
        QApplication::installTranslator(&qtTexts);
    ArchiveWindow window(ArchiveSettings::read(ArchiveSettings::kFileName),
                         ArchiveSettings::kFileName);
    EventLog log(EventLog::kFileName, QStringLiteral("KromaglenArchive"));
    window.setLog(&log);
    window.show();
    return app.exec();
}

#pragma once

#include <QString>
#include <QStringList>

#include "ArchiveLocation.h"
#include "VerdictBands.h"

// The archive's settings file, "Kromaglen_archive.ini" in the working folder:
// code page 1250 (or UTF-8, as an editor may save it, read and written back
// as such), CR LF, one "key=value" a line, ';' starts a comment.
//   archive=<file name or postgresql:// address>
//   FE=<thin below>;<factory up to>;<repainted up to>   (and AL=...)
//   station=<the station's name, stored with each inspection>
//   name=, address=, phone=, logo=   the station as its reports name it (logo: an image file)
// A missing file means the defaults. Lines that cannot be used are reported in
// `problems` and their defaults kept.
// The station as the reports it hands over name it; every field may be empty
// (the report then names the inspection's station, and shows no logo).
struct StationProfile
{
    QString name;
    QString address;
    QString phone;
    QString logo; // an image file, relative to the working folder

    bool operator==(const StationProfile &) const = default;
};

struct ArchiveSettings
{
    static inline const QString kFileName = QStringLiteral("Kromaglen_archive.ini");

    ArchiveLocation location;
    VerdictBands bands;
    // The computer's name unless the file names the station.
    QString station = defaultStation();
    StationProfile profile;
    QStringList problems;
    QString locationProblem; // also among `problems`
    QString stationProblem;  // also among `problems`

    // The location to write to: the one set, or the local file when that
    // cannot be used in this build or is malformed; `notice` then says why.
    ArchiveLocation usableLocation(QString *notice) const;
    // What the wizard tells the user about these settings: the notice of
    // usableLocation() and a station line it cannot use; empty when all is well.
    QString wizardNotice() const;

    static QString defaultStation();
    static ArchiveSettings read(const QString &path);
    static ArchiveSettings parse(QByteArrayView content);
    // Rewrites the band lines, keeping every other line as it was; a new file
    // gets a commented template. Throws Failure when the file cannot be written.
    static void writeBands(const QString &path, const VerdictBands &bands);
    static QByteArray withBands(QByteArrayView content, const VerdictBands &bands);
};

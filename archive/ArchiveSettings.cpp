#include "ArchiveSettings.h"

#include "Cp1250.h"
#include "InspectionDetails.h"
#include "SafeFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// The file's text as it was written: a file that is valid UTF-8 and holds a
// character beyond ASCII (saved by a Linux editor, or by Notepad, perhaps with
// a byte-order mark) is UTF-8; any other is code page 1250, as the program
// writes it. Code page 1250 text with an accent is practically never valid
// UTF-8 ("ő" is the byte 0xF5, which UTF-8 never uses).
struct SettingsText
{
    QString text;
    bool utf8 = false;
    bool mark = false;

    explicit SettingsText(QByteArrayView content)
    {
        mark = content.startsWith(kUtf8Mark);
        const QByteArrayView body = mark ? content.sliced(kUtf8Mark.size()) : content;
        const bool ascii =
            std::all_of(body.begin(), body.end(), [](char c) { return uchar(c) < 0x80; });
        if (!ascii || mark) {
            QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            QString decoded = decode(body);
            if (!decode.hasError()) {
                text = std::move(decoded);
                utf8 = true;
                return;
            }
        }
        mark = false;
        text = Cp1250::decode(content);
    }

    QByteArray encode(const QString &changed) const
    {
        return utf8 ? (mark ? kUtf8Mark : QByteArray()) + changed.toUtf8()
                    : Cp1250::encode(changed);
    }
};

const QString kLocationKey = QStringLiteral("archive");
const QString kStationKey = QStringLiteral("station");
// The profile's lines: a text of at most kProfileMaxLength characters each.
constexpr int kProfileMaxLength = 120;

// A comment may follow the place after a blank: "archive=x.sqlite ; a régi gépen".
QString withoutComment(const QString &value)
{
    static const QRegularExpression comment(QStringLiteral("\\s+[;#].*$"));
    return QString(value).remove(comment).trimmed();
}

// A station's name may hold a '#' ("Vizsgálósor #2"): only ';' starts its comment.
QString nameWithoutComment(const QString &value)
{
    static const QRegularExpression comment(QStringLiteral("\\s+;.*$"));
    return QString(value).remove(comment);
}

QString bandsKey(Substrate substrate)
{
    return substrateName(substrate);
}

// Three numbers, then perhaps a comment: "40;120;250 ; saját határok" (';'
// both separates the limits and starts a comment; a fourth number is neither).
std::optional<SubstrateBands> parseBands(const QString &value)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5})\\s*;\\s*(\\d{1,5})\\s*;\\s*(\\d{1,5})\\s*(?:[;#](.*))?$"));
    const QRegularExpressionMatch m = form.match(value);
    if (!m.hasMatch())
        return std::nullopt;
    bool number = false;
    m.captured(4).trimmed().toInt(&number);
    if (number)
        return std::nullopt;
    const SubstrateBands bands{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
    return bands.valid() ? std::optional(bands) : std::nullopt;
}

QString bandsLine(Substrate substrate, const SubstrateBands &b)
{
    return QStringLiteral("%1=%2;%3;%4")
        .arg(bandsKey(substrate))
        .arg(b.thinBelow)
        .arg(b.factoryUpTo)
        .arg(b.repaintedUpTo);
}

QStringList templateLines()
{
    QStringList lines{
        QStringLiteral("; Kromaglen archívum"),
        QStringLiteral("; archive= az archívum helye: fájlnév a munkamappában (alapértelmezés: ") +
            ArchiveLocation::kDefaultFile + u')',
        QStringLiteral(";   vagy közös archívum: "
                       "postgresql://felhasználó:jelszó@gép:5432/adatbázis"),
    };
    if (!ArchiveLocation::postgreSqlAvailable())
        lines.append(
            QStringLiteral(";   (ebben a változatban nincs PostgreSQL-meghajtó: a közös "
                           "archívum nem használható, a mérések a helyi fájlba kerülnek)"));
    lines.append(QStringLiteral("; station= az állomás neve a jegyzőkönyvön és az exportban "
                                "(alapértelmezés: a számítógép neve), legfeljebb %1 karakter")
                     .arg(InspectionDetails::kNameMaxLength));
    lines.append(QStringLiteral("; name=, address=, phone= az állomás neve, címe és "
                                "telefonszáma a jelentés fejlécén; logo= egy képfájl (PNG, JPG)"));
    lines.append(QStringLiteral("; FE=, AL= minősítési határok µm-ben: gyanúsan vékony, ha "
                                "kisebb mint; gyári legfeljebb; újrafényezett legfeljebb"));
    lines.append(QStringLiteral("archive=") + ArchiveLocation::kDefaultFile);
    return lines;
}

QString *profileField(StationProfile &profile, const QString &key)
{
    const QString k = key.toLower();
    return k == u"name"      ? &profile.name
           : k == u"address" ? &profile.address
           : k == u"phone"   ? &profile.phone
           : k == u"logo"    ? &profile.logo
                             : nullptr;
}

} // namespace

QString ArchiveSettings::defaultStation()
{
    // A name no longer than the file allows, as the file's own would be.
    return QSysInfo::machineHostName().left(InspectionDetails::kNameMaxLength);
}

ArchiveSettings ArchiveSettings::read(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        ArchiveSettings settings;
        settings.problems.append(path + QStringLiteral(": ") + file.errorString());
        return settings;
    }
    return parse(file.read(64 * 1024));
}

ArchiveSettings ArchiveSettings::parse(QByteArrayView content)
{
    ArchiveSettings settings;
    const QStringList lines = SettingsText(content).text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        const QString key = line.section(u'=', 0, 0).trimmed();
        const QString value = line.section(u'=', 1);
        const auto problem = [&](const QString &what) {
            settings.problems.append(QStringLiteral("%1. sor: %2").arg(i + 1).arg(what));
        };
        if (key.compare(kLocationKey, Qt::CaseInsensitive) == 0) {
            QString error;
            if (auto location = ArchiveLocation::parse(withoutComment(value), &error))
                settings.location = *location;
            else
                problem(settings.locationProblem = error);
        } else if (key.compare(kStationKey, Qt::CaseInsensitive) == 0) {
            QString why;
            const std::optional<QString> station =
                InspectionDetails::name(nameWithoutComment(value), &why);
            if (!station)
                problem(settings.stationProblem = QStringLiteral("az állomás neve ") + why);
            else if (station->isEmpty())
                problem(settings.stationProblem = QStringLiteral("az állomás neve üres"));
            else
                settings.station = *station;
        } else if (QString *field = profileField(settings.profile, key)) {
            const QString text = nameWithoutComment(value).simplified();
            if (text.size() > kProfileMaxLength)
                problem(QStringLiteral("legfeljebb %1 karakter lehet").arg(kProfileMaxLength));
            else if (std::any_of(text.begin(), text.end(),
                                 [](QChar c) { return c.category() == QChar::Other_Control; }))
                problem(QStringLiteral("vezérlőkaraktert tartalmaz"));
            else
                *field = text;
        } else if (auto substrate = substrateFromName(key.toUpper())) {
            if (auto bands = parseBands(value))
                settings.bands.set(*substrate, *bands);
            else
                problem(QStringLiteral("három növekvő szám kell pontosvesszővel elválasztva, "
                                       "például 60;160;300"));
        } else {
            problem(QStringLiteral("ismeretlen beállítás: ") + key);
        }
    }
    return settings;
}

ArchiveLocation ArchiveSettings::usableLocation(QString *notice) const
{
    QString why;
    if (!locationProblem.isEmpty())
        why = QStringLiteral("Hibás az archívum helye a ") + kFileName +
              QStringLiteral(" fájlban (") + locationProblem + u')';
    else if (location.kind == ArchiveLocation::Kind::PostgreSql &&
             !ArchiveLocation::postgreSqlAvailable())
        why = QStringLiteral("A közös archívum (PostgreSQL) ebben a változatban nem érhető el");
    if (why.isEmpty())
        return location;
    if (notice)
        *notice = why + QStringLiteral(", ezért a mérések a helyi ") +
                  ArchiveLocation::kDefaultFile + QStringLiteral(" fájlba kerülnek.");
    return ArchiveLocation();
}

QString ArchiveSettings::wizardNotice() const
{
    QString notice;
    usableLocation(&notice);
    if (!stationProblem.isEmpty())
        notice += (notice.isEmpty() ? QString() : QStringLiteral("\r")) +
                  QStringLiteral("Hibás a station= sor a ") + kFileName +
                  QStringLiteral(" fájlban (") + stationProblem +
                  QStringLiteral("), ezért a mérések a számítógép nevével (") + defaultStation() +
                  QStringLiteral(") kerülnek az archívumba.");
    return notice;
}

QByteArray ArchiveSettings::withBands(QByteArrayView content, const VerdictBands &bands)
{
    const SettingsText text(content);
    QStringList lines = content.isEmpty() ? templateLines() : text.text.split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (Substrate substrate : {Substrate::FE, Substrate::AL}) {
        const QString key = bandsKey(substrate);
        const QString line = bandsLine(substrate, bands.of(substrate));
        auto at = std::find_if(lines.begin(), lines.end(), [&key](const QString &l) {
            return l.section(u'=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0;
        });
        if (at != lines.end())
            *at = line;
        else
            lines.append(line);
    }
    // Written back in the encoding it was read in.
    return text.encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void ArchiveSettings::writeBands(const QString &path, const VerdictBands &bands)
{
    QByteArray content;
    {
        // Closed before it is replaced: Windows renames nothing over an open file.
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                throw Failure(QStringLiteral("EInOutError"),
                              path + QStringLiteral(": ") + file.errorString());
            content = file.readAll();
        }
    }
    // A password in the file is for the user's eyes only. (On Windows that is
    // the folder's doing: the program's folder is in the user's own profile.)
    const bool secret = !parse(content).location.password.isEmpty();
    try {
        SafeFile::write(path, withBands(content, bands), SafeFile::InFolderReadOnly::Fail,
                        secret ? QFile::ReadOwner | QFile::WriteOwner : QFile::Permissions());
    } catch (const Failure &f) {
        // The archive's messages name the file, as the read above does.
        throw Failure(f.kind(), path + QStringLiteral(": ") + f.text());
    }
}

#include "InspectionDetails.h"

#include <QRegularExpression>

namespace {

bool unprintable(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

// Trimmed, one blank between words; none when a character cannot be printed.
std::optional<QString> cleaned(const QString &typed, QString *problem)
{
    for (QChar c : typed) {
        if (unprintable(c) && c != u'\t') {
            if (problem)
                *problem = QStringLiteral("nem nyomtatható karaktert tartalmaz");
            return std::nullopt;
        }
    }
    return typed.simplified();
}

std::optional<QString> tooLong(qsizetype length, int limit, QString *problem)
{
    if (problem)
        *problem = QStringLiteral("legfeljebb %1 karakter lehet (most %2)").arg(limit).arg(length);
    return std::nullopt;
}

} // namespace

std::optional<QString> InspectionDetails::plate(const QString &typed, QString *problem)
{
    std::optional<QString> text = cleaned(typed, problem);
    if (!text)
        return std::nullopt;
    *text = text->toUpper();
    if (text->size() > kPlateMaxLength)
        return tooLong(text->size(), kPlateMaxLength, problem);
    for (QChar c : std::as_const(*text)) {
        if (!c.isLetterOrNumber() && c != u' ' && c != u'-') {
            if (problem)
                *problem = QStringLiteral("csak betű, számjegy, szóköz és kötőjel lehet benne");
            return std::nullopt;
        }
    }
    if (text->size() == kVinLength)
        return vin(*text, problem);
    return text;
}

bool InspectionDetails::looksLikeVin(const QString &text)
{
    static const QRegularExpression vin(QStringLiteral("^[A-HJ-NPR-Z0-9]{17}$"));
    return vin.match(text).hasMatch();
}

std::optional<QString> InspectionDetails::vin(const QString &typed, QString *problem)
{
    std::optional<QString> text = cleaned(typed, problem);
    if (!text)
        return std::nullopt;
    *text = text->toUpper();
    if (text->isEmpty() || looksLikeVin(*text))
        return text;
    if (problem)
        *problem = text->size() != kVinLength
                       ? QStringLiteral("az alvázszám 17 karakter (most %1)").arg(text->size())
                       : QStringLiteral("17 karakteres alvázszámban csak az angol ábécé betűi "
                                        "(I, O és Q nélkül) és számjegyek lehetnek");
    return std::nullopt;
}

bool InspectionDetails::odometer(const QString &typed, std::optional<int> *km, QString *problem)
{
    QString digits = typed.simplified();
    digits.remove(u' ').remove(u'.');
    if (digits.isEmpty()) {
        *km = std::nullopt;
        return true;
    }
    bool number = false;
    const int value = digits.toInt(&number);
    if (!number || value < 0 || value > kOdometerMaxKm ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); })) {
        if (problem)
            *problem = QStringLiteral("a km-óra állása 0 és %1 közötti egész szám lehet")
                           .arg(kOdometerMaxKm);
        return false;
    }
    *km = value;
    return true;
}

QString InspectionDetails::searchKey(const QString &text)
{
    QString key = text.toUpper();
    key.removeIf([](QChar c) { return c.isSpace() || c == u'-'; });
    return key;
}

std::optional<QString> InspectionDetails::name(const QString &typed, QString *problem)
{
    std::optional<QString> text = cleaned(typed, problem);
    if (text && text->size() > kNameMaxLength)
        return tooLong(text->size(), kNameMaxLength, problem);
    return text;
}

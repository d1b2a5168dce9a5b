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
    static const QRegularExpression vin(QStringLiteral("^[A-HJ-NPR-Z0-9]{17}$"));
    if (text->size() == kVinLength && !vin.match(*text).hasMatch()) {
        if (problem)
            *problem = QStringLiteral("17 karakteres alvázszámban csak az angol ábécé betűi "
                                      "(I, O és Q nélkül) és számjegyek lehetnek");
        return std::nullopt;
    }
    return text;
}

std::optional<QString> InspectionDetails::name(const QString &typed, QString *problem)
{
    std::optional<QString> text = cleaned(typed, problem);
    if (text && text->size() > kNameMaxLength)
        return tooLong(text->size(), kNameMaxLength, problem);
    return text;
}

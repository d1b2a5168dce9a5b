#include "HandoverProtocol.h"

#include "VehicleCategories.h"

namespace HandoverProtocol {

HandoverAnswer answer(const QString &line, WizardPage page, const ReadingLog &log)
{
    HandoverAnswer a;
    if (line.startsWith(kCategoryPrefix)) {
        if (page != WizardPage::Config) {
            a.kind = HandoverAnswer::Kind::CategoryWrongPage;
            return a;
        }
        // From a peer: control characters (a NUL, an escape) are dropped here, where it enters.
        QString code = line.mid(kCategoryPrefix.size());
        code.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
        a.kind = HandoverAnswer::Kind::Category;
        a.category = VehicleCategoryTable::FindVehicleCategory(code).value_or(code);
        return a;
    }
    if (page != WizardPage::Send) {
        a.kind = HandoverAnswer::Kind::WrongPage;
        a.reply = QStringLiteral("-");
        return a;
    }
    const auto point = PointCatalogue::indexOfPointId(line);
    if (!point) {
        a.kind = HandoverAnswer::Kind::UnknownPoint;
        a.reply = line + u'?';
        return a;
    }
    a.kind = HandoverAnswer::Kind::Point;
    a.point = *point;
    a.reply = line;
    for (const Reading &reading : log.readings(*point))
        a.reply += u':' + reading.valueText();
    return a;
}

} // namespace HandoverProtocol

#pragma once

#include <QString>

#include "ReadingLog.h"
#include "WizardPage.h"

// What one request line of the inspection program asks for, and the answer,
// given the page the wizard stands on.
struct HandoverAnswer
{
    enum class Kind {
        Category,          // "category=" on the first page: select the plan
        CategoryWrongPage, // "category=" elsewhere: tell the user, no reply
        Point,             // a PointId on the last page: reply with its values
        UnknownPoint,      // no PointId, on the last page: reply "<line>?"
        WrongPage,         // a point request elsewhere: tell the user, reply "-"
    };
    Kind kind = Kind::WrongPage;
    QString category; // the category row, or the code itself when none matched
    int point = -1;   // the catalogue index of a Point answer
    QString reply;    // empty for the category kinds, which never get a reply
};

namespace HandoverProtocol {

inline const QString kCategoryPrefix = QStringLiteral("category=");

HandoverAnswer answer(const QString &line, WizardPage page, const ReadingLog &log);

} // namespace HandoverProtocol

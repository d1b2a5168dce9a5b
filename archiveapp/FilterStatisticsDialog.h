#pragma once

#include <QDialog>

#include "PointStatistics.h"

class QLabel;
class QTableWidget;

// The statistics of each point over the inspections the list's filter
// picks: how many readings, the lowest, highest, mean and deviation. The
// archive sums them; the dialog shows "Számolás…" until they come.
class FilterStatisticsDialog : public QDialog
{
    Q_OBJECT

public:
    // `what`: the filter in words.
    explicit FilterStatisticsDialog(const QString &what, QWidget *parent = nullptr);

    void setStatistics(const QList<PointStatistics> &statistics, qint64 inspections);
    void setProblem(const QString &text);

private:
    QLabel *L_State = nullptr;
    QTableWidget *TW_Points = nullptr;
};

#pragma once

#include <QDialog>
#include <functional>

#include "ArchiveQuery.h"
#include "PointStatistics.h"

class ArchiveReader;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// What a manager asks of the inspections the list's filter picks: how many
// had each worst verdict, split by station or category on request, and per
// point the number of readings, the lowest, highest, mean and deviation. The
// archive sums them on the given reader while the window goes on; the dialog
// shows "Számolás…" until they come, and saves both tables as CSV.
class FilterStatisticsDialog : public QDialog
{
    Q_OBJECT

public:
    // `what`: the filter in words.
    FilterStatisticsDialog(const QString &what, ArchiveFilter filter, ArchiveReader &reader,
                           QWidget *parent = nullptr);

    void setStatistics(const QList<PointStatistics> &statistics, qint64 inspections);
    void setCounts(const QList<VerdictCounts> &counts, ArchiveSplit split);
    void setProblem(const QString &text);
    // Where the CSV save dialog opens.
    void setExportFolder(std::function<QString()> folder) { m_folder = std::move(folder); }
    // Both tables as CSV, as "CSV mentése…" writes them.
    QByteArray csv() const;
    // The verdicts in the columns' order: from the best to the worst.
    static const QList<Verdict> &verdictOrder();

Q_SIGNALS:
    void countsShown();

private:
    void readCounts();
    void askSave();

    QString m_what;
    ArchiveFilter m_filter;
    ArchiveReader &m_reader;
    std::function<QString()> m_folder;
    QLabel *L_State = nullptr;
    QComboBox *CB_Split = nullptr;
    QTableWidget *TW_Verdicts = nullptr;
    QTableWidget *TW_Points = nullptr;
    QPushButton *BB_SaveCsv = nullptr;
};

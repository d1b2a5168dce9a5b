#include "FilterStatisticsDialog.h"

#include "PointCatalogue.h"
#include "StatisticsText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

FilterStatisticsDialog::FilterStatisticsDialog(const QString &what, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Statisztika"));
    resize(620, 640);
    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(what);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    L_State = new QLabel(QStringLiteral("Számolás…"));
    L_State->setObjectName(QStringLiteral("L_State"));
    layout->addWidget(L_State);
    TW_Points = new QTableWidget(0, 7);
    TW_Points->setObjectName(QStringLiteral("TW_Points"));
    TW_Points->setHorizontalHeaderLabels(
        {QStringLiteral("#"), QStringLiteral("Pont"), QStringLiteral("n"), QStringLiteral("Min"),
         QStringLiteral("Max"), QStringLiteral("Átlag"), QStringLiteral("Szórás")});
    TW_Points->verticalHeader()->hide();
    TW_Points->verticalHeader()->setDefaultSectionSize(21);
    TW_Points->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TW_Points->setSelectionBehavior(QAbstractItemView::SelectRows);
    TW_Points->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    for (int c : {0, 2, 3, 4, 5, 6})
        TW_Points->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    layout->addWidget(TW_Points, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void FilterStatisticsDialog::setStatistics(const QList<PointStatistics> &statistics,
                                           qint64 inspections)
{
    L_State->setText(
        QStringLiteral("%1 vizsgálat, %2 mért pont").arg(inspections).arg(statistics.size()));
    TW_Points->setRowCount(int(statistics.size()));
    for (int row = 0; row < int(statistics.size()); ++row) {
        const PointStatistics &s = statistics.at(row);
        const QStringList texts{QString::number(s.point + 1),
                                PointCatalogue::displayName(s.point),
                                QString::number(s.n),
                                QString::number(s.minimum),
                                QString::number(s.maximum),
                                decimal(s.mean),
                                s.deviation ? decimal(*s.deviation) : QString()};
        for (int c = 0; c < texts.size(); ++c) {
            auto *item = new QTableWidgetItem(texts.at(c));
            if (c != 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            TW_Points->setItem(row, c, item);
        }
    }
}

void FilterStatisticsDialog::setProblem(const QString &text)
{
    L_State->setText(text);
}

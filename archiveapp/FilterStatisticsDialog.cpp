#include "FilterStatisticsDialog.h"

#include "ArchiveReader.h"
#include "CsvExport.h"
#include "PointCatalogue.h"
#include "StatisticsText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>
#include <atomic>

namespace {

QTableWidget *table(const QString &name, const QStringList &headers)
{
    auto *t = new QTableWidget(0, int(headers.size()));
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(21);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    return t;
}

void fill(QTableWidget *t, const QList<QStringList> &rows, int textColumns)
{
    t->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        for (int c = 0; c < int(rows.at(r).size()); ++c) {
            auto *item = new QTableWidgetItem(rows.at(r).at(c));
            if (c >= textColumns)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r, c, item);
        }
    }
}

QByteArray csvOf(const QTableWidget *t)
{
    QByteArray out;
    const auto line = [&out](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted.append(CsvExport::field(f));
        out += quoted.join(u';').toUtf8() + "\r\n";
    };
    QStringList header;
    for (int c = 0; c < t->columnCount(); ++c)
        header.append(t->horizontalHeaderItem(c)->text());
    line(header);
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < t->columnCount(); ++c)
            row.append(t->item(r, c) ? t->item(r, c)->text() : QString());
        line(row);
    }
    return out;
}

} // namespace

const QList<Verdict> &FilterStatisticsDialog::verdictOrder()
{
    static const QList<Verdict> order{Verdict::Factory, Verdict::Thin, Verdict::Repainted,
                                      Verdict::Filler};
    return order;
}

FilterStatisticsDialog::FilterStatisticsDialog(const QString &what, ArchiveFilter filter,
                                               ArchiveReader &reader, QWidget *parent)
    : QDialog(parent), m_what(what), m_filter(std::move(filter)), m_reader(reader)
{
    setWindowTitle(QStringLiteral("Statisztika"));
    resize(660, 660);
    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(QStringLiteral("A szűrésnek megfelelő vizsgálatok: ") + what);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    L_State = new QLabel(QStringLiteral("Számolás…"));
    L_State->setObjectName(QStringLiteral("L_State"));
    layout->addWidget(L_State);

    auto *splitRow = new QHBoxLayout;
    auto *splitLabel = new QLabel(QStringLiteral("Minősítések &bontása:"));
    CB_Split = new QComboBox;
    CB_Split->setObjectName(QStringLiteral("CB_Split"));
    CB_Split->addItem(QStringLiteral("nincs"), int(ArchiveSplit::None));
    CB_Split->addItem(QStringLiteral("állomásonként"), int(ArchiveSplit::Station));
    CB_Split->addItem(QStringLiteral("kategóriánként"), int(ArchiveSplit::Category));
    splitLabel->setBuddy(CB_Split);
    connect(CB_Split, &QComboBox::activated, this, &FilterStatisticsDialog::readCounts);
    splitRow->addWidget(splitLabel);
    splitRow->addWidget(CB_Split);
    splitRow->addStretch(1);
    layout->addLayout(splitRow);
    QStringList verdictHeaders{QStringLiteral("Csoport")};
    for (Verdict v : verdictOrder())
        verdictHeaders.append(verdictName(v));
    verdictHeaders.append(QStringLiteral("Összesen"));
    TW_Verdicts = table(QStringLiteral("TW_Verdicts"), verdictHeaders);
    TW_Verdicts->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    TW_Verdicts->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    TW_Verdicts->setMaximumHeight(180);
    layout->addWidget(TW_Verdicts);

    TW_Points = table(QStringLiteral("TW_Points"),
                      {QStringLiteral("#"), QStringLiteral("Pont"), QStringLiteral("n"),
                       QStringLiteral("Min"), QStringLiteral("Max"), QStringLiteral("Átlag"),
                       QStringLiteral("Szórás")});
    layout->addWidget(TW_Points, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    BB_SaveCsv = buttons->addButton(QStringLiteral("CSV mentése…"), QDialogButtonBox::ActionRole);
    BB_SaveCsv->setObjectName(QStringLiteral("BB_SaveCsv"));
    BB_SaveCsv->setEnabled(false);
    connect(BB_SaveCsv, &QPushButton::clicked, this, &FilterStatisticsDialog::askSave);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Summed by the archive on its thread; the window goes on meanwhile.
    struct Result
    {
        QList<PointStatistics> points;
        qint64 inspections = 0;
    };
    const auto result = std::make_shared<Result>();
    // A dialog closed before its turn came costs the archive nothing.
    const auto wanted = std::make_shared<std::atomic<bool>>(true);
    connect(this, &QObject::destroyed, this, [wanted] { *wanted = false; });
    m_reader.post(
        [result, f = m_filter, wanted](ArchiveDatabase &db) {
            if (!*wanted)
                return;
            ArchiveQuery query(db);
            result->points = query.statistics(f);
            result->inspections = query.count(f);
        },
        this,
        [this, result](const std::optional<ArchiveError> &error) {
            if (error)
                setProblem(QStringLiteral("Az archívum nem olvasható: ") + error->text());
            else
                setStatistics(result->points, result->inspections);
        });
    readCounts();
}

void FilterStatisticsDialog::readCounts()
{
    const auto split = ArchiveSplit(CB_Split->currentData().toInt());
    const auto counts = std::make_shared<QList<VerdictCounts>>();
    CB_Split->setEnabled(false);
    m_reader.post([counts, f = m_filter, split](
                      ArchiveDatabase &db) { *counts = ArchiveQuery(db).verdictCounts(f, split); },
                  this,
                  [this, counts, split](const std::optional<ArchiveError> &error) {
                      CB_Split->setEnabled(true);
                      if (error)
                          setProblem(QStringLiteral("Az archívum nem olvasható: ") + error->text());
                      else
                          setCounts(*counts, split);
                  });
}

void FilterStatisticsDialog::setCounts(const QList<VerdictCounts> &counts, ArchiveSplit split)
{
    TW_Verdicts->horizontalHeaderItem(0)->setText(
        split == ArchiveSplit::Station    ? QStringLiteral("Állomás")
        : split == ArchiveSplit::Category ? QStringLiteral("Kategória")
                                          : QString());
    QList<QStringList> rows;
    VerdictCounts all{QStringLiteral("Összesen"), {}};
    for (const VerdictCounts &c : counts) {
        QStringList row{split == ArchiveSplit::None ? QStringLiteral("Összesen")
                        : c.group.isEmpty()         ? QStringLiteral("(nincs)")
                                                    : c.group};
        for (Verdict v : verdictOrder())
            row.append(QString::number(c.counts[size_t(v)]));
        row.append(QString::number(c.total()));
        rows.append(row);
        for (size_t v = 0; v < all.counts.size(); ++v)
            all.counts[v] += c.counts[v];
    }
    if (split != ArchiveSplit::None && counts.size() > 1) {
        QStringList row{all.group};
        for (Verdict v : verdictOrder())
            row.append(QString::number(all.counts[size_t(v)]));
        row.append(QString::number(all.total()));
        rows.append(row);
    }
    fill(TW_Verdicts, rows, 1);
    BB_SaveCsv->setEnabled(true);
    Q_EMIT countsShown();
}

void FilterStatisticsDialog::setStatistics(const QList<PointStatistics> &statistics,
                                           qint64 inspections)
{
    L_State->setText(
        QStringLiteral("%1 vizsgálat, %2 mért pont").arg(inspections).arg(statistics.size()));
    QList<QStringList> rows;
    for (const PointStatistics &s : statistics)
        rows.append({QString::number(s.point + 1), PointCatalogue::displayName(s.point),
                     QString::number(s.n), QString::number(s.minimum), QString::number(s.maximum),
                     decimal(s.mean), s.deviation ? decimal(*s.deviation) : QString()});
    fill(TW_Points, rows, 2);
}

void FilterStatisticsDialog::setProblem(const QString &text)
{
    L_State->setText(text);
}

QByteArray FilterStatisticsDialog::csv() const
{
    QByteArray out("\xEF\xBB\xBF");
    out += CsvExport::field(QStringLiteral("Szűrés: ") + m_what).toUtf8() + "\r\n\r\n";
    out += csvOf(TW_Verdicts) + "\r\n" + csvOf(TW_Points);
    return out;
}

void FilterStatisticsDialog::askSave()
{
    const QString start = m_folder ? m_folder() : QDir::homePath();
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Statisztika mentése"),
                                     QDir(start).filePath(QStringLiteral("statisztika.csv")),
                                     QStringLiteral("CSV fájl (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray content = csv();
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
                    file.flush() && file.commit();
    auto *box = new QMessageBox(
        ok ? QMessageBox::Information : QMessageBox::Warning, windowTitle(),
        ok ? QStringLiteral("A statisztika elmentve ide:\n%1").arg(QDir::toNativeSeparators(path))
           : QStringLiteral("A statisztika mentése nem sikerült (%1): %2")
                 .arg(QDir::toNativeSeparators(path), file.errorString()),
        QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

#include "ArchiveQuery.h"
#include "ArchiveReader.h"

class QProgressDialog;
class QWidget;

// Writes a CSV file of inspections on a reader of its own, so the list goes
// on meanwhile: either the inspections chosen by id, or every inspection a
// filter picks, read from the archive a page at a time in the list's order
// (whatever the list has loaded). A progress dialog with "Mégse" shows how
// far it got; the file takes the place of an older one only when complete.
class CsvExportRun : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QList<qint64> ids;                   // these, in this order
        std::optional<ArchiveFilter> filter; // or all of these (then `ids` is empty)
        ArchiveOrder order;
        VerdictBands bands; // today's: for re-judging and for inspections stored without limits
        bool rejudging = false;
        qint64 expected = -1; // the filter's count, when known
    };
    // Inspections read from the archive at a time.
    static constexpr int kChunk = 200;

    CsvExportRun(const ArchiveLocation &location, Request request, QString path, QWidget *window);
    ~CsvExportRun() override;

    void start();
    void cancel() { m_state->cancelled = true; }
    bool cancelled() const { return m_state->cancelled; }
    // Cancels and lets the reader go without waiting (see ArchiveReader::finish).
    void finish()
    {
        cancel();
        m_reader.finish();
    }
    const QString &path() const { return m_path; }

Q_SIGNALS:
    // `count` inspections with `readings` readings written; or why not.
    void finished(bool ok, qint64 count, qint64 readings, const QString &error);

private:
    struct State
    {
        std::atomic<bool> cancelled{false};
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{-1};
        qint64 readings = 0;
        QString error;
        bool ok = false;
    };
    static void write(const Request &request, const QString &path, State &state,
                      ArchiveDatabase &db);
    void showProgress();

    Request m_request;
    QString m_path;
    std::shared_ptr<State> m_state = std::make_shared<State>();
    ArchiveReader m_reader;
    QPointer<QProgressDialog> m_progress;
    QTimer m_tick;
};

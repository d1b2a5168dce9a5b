#include "CsvExportRun.h"

#include "ArchiveStore.h"
#include "CsvExport.h"

#include <QProgressDialog>
#include <QSaveFile>

CsvExportRun::CsvExportRun(const ArchiveLocation &location, Request request, QString path,
                           QWidget *window)
    : QObject(window), m_request(std::move(request)), m_path(std::move(path)), m_reader(location)
{
    m_state->total = m_request.filter ? m_request.expected : qint64(m_request.ids.size());
    m_progress = new QProgressDialog(QStringLiteral("CSV exportálás…"), QStringLiteral("Mégse"), 0,
                                     0, window);
    m_progress->setObjectName(QStringLiteral("D_ExportProgress"));
    m_progress->setWindowTitle(window->windowTitle());
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(400);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, &CsvExportRun::cancel);
    m_tick.setInterval(100);
    connect(&m_tick, &QTimer::timeout, this, &CsvExportRun::showProgress);
}

CsvExportRun::~CsvExportRun()
{
    // A window closed meanwhile: the job stops at its next inspection.
    cancel();
    delete m_progress;
}

void CsvExportRun::start()
{
    showProgress();
    m_tick.start();
    m_reader.post([request = m_request, path = m_path,
                   state = m_state](ArchiveDatabase &db) { write(request, path, *state, db); },
                  this,
                  [this](const std::optional<ArchiveError> &error) {
                      m_tick.stop();
                      if (m_progress)
                          m_progress->hide();
                      const State &s = *m_state;
                      Q_EMIT finished(!error && s.ok, s.done, s.readings,
                                      error ? error->text() : s.error);
                  });
}

void CsvExportRun::showProgress()
{
    if (!m_progress)
        return;
    const qint64 total = m_state->total;
    const qint64 done = m_state->done;
    // The dialog counts in int: a chain's millions are shown in thousands.
    const int scale = total > 1000000 ? 1000 : 1;
    m_progress->setMaximum(total > 0 ? int(total / scale) : 0);
    m_progress->setLabelText(
        total >= 0 ? QStringLiteral("CSV exportálás: %1 / %2 vizsgálat").arg(done).arg(total)
                   : QStringLiteral("CSV exportálás: %1 vizsgálat").arg(done));
    m_progress->setValue(int(std::min(done, std::max<qint64>(total, 0)) / scale));
}

void CsvExportRun::write(const Request &request, const QString &path, State &state,
                         ArchiveDatabase &db)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        state.error = file.errorString();
        return;
    }
    bool ok = file.write(CsvExport::header()) > 0;
    ArchiveStore store(db);
    const auto writeOne = [&](qint64 id) {
        const std::optional<Inspection> i = store.load(id);
        if (!i)
            return; // gone since it was chosen
        const VerdictBands &bands =
            request.rejudging || !i->judgedWith ? request.bands : *i->judgedWith;
        ok = ok && file.write(CsvExport::rows(*i, bands)) >= 0;
        state.readings += i->readings.size();
        ++state.done;
    };
    if (request.filter) {
        ArchiveQuery query(db);
        if (state.total < 0)
            state.total = query.count(*request.filter);
        std::optional<ArchiveCursor> after;
        bool first = true;
        while (ok && !state.cancelled && (first || after)) {
            const ArchivePage page = query.page(*request.filter, request.order, kChunk, after);
            first = false;
            after = page.next;
            for (qsizetype n = 0; ok && !state.cancelled && n < page.rows.size(); ++n)
                writeOne(page.rows.at(n).id);
        }
    } else {
        for (qsizetype n = 0; ok && !state.cancelled && n < request.ids.size(); ++n)
            writeOne(request.ids.at(n));
    }
    if (state.cancelled) {
        file.cancelWriting();
        state.error = QStringLiteral("megszakítva");
        return;
    }
    // Flushed and checked first: a full disk must not leave a cut-off file.
    if (!ok || !file.flush() || !file.commit()) {
        state.error = file.errorString();
        file.cancelWriting();
        return;
    }
    state.ok = true;
}

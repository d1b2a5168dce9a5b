#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <optional>

#include "HandoverServer.h"
#include "PointCatalogue.h"
#include "WizardPage.h"

class ReadingLog;

// The handover to the inspection program without its widgets: the server,
// the requests served against the wizard's page and reading log, which
// points have been handed over, and the lines of the server's log. The last
// page shows the log and the statuses from the signals. Lives on the window
// thread.
class HandoverController : public QObject
{
    Q_OBJECT

public:
    // The wizard's page as it stands when a request is served.
    using CurrentPage = std::function<WizardPage()>;
    // A peer's text longer than this is shown cut here.
    static constexpr qsizetype kMaxLineChars = 1000;

    // A peer's text as the log shows it: past kMaxLineChars characters it is
    // cut, and its length follows.
    static QString shortened(const QString &text);

    HandoverController(quint16 port, const ReadingLog &log, CurrentPage page,
                       QObject *parent = nullptr);

    HandoverServer &server() { return m_server; }
    bool sent(int point) const { return m_sent.at(size_t(point)); }
    bool allSent() const;
    bool anySent() const;
    // Every point back to "Nincs elküldve" (each move to the last page).
    void resetSent();

    // Starts the server unless it listens; "Server start!". Throws Failure.
    void start();
    // The first start: a failure is told, and the wizard goes on without it.
    void StartServerAtStartup();
    // Stops the server ("Server stop!"); a failure is ignored.
    void stop();
    // A line of the wizard's own for the log.
    void note(const QString &line) { Q_EMIT logLine(line); }

Q_SIGNALS:
    // A line of the traffic, shown with the next batch.
    void trafficLine(const QString &line);
    // A line of the wizard's own, after the traffic before it.
    void logLine(const QString &line);
    // A point's status changed; `later`: shown with the next batch.
    void statusChanged(int point, bool later);
    void categoryArrived(const QString &category);
    void pointSent(int point);
    void info(const QString &message, const QString &description);
    void errorBox(const QString &text);

private:
    void IdTCPServer1Connect(const QString &peer);
    std::optional<HandoverReply> IdTCPServer1Execute(const QString &line);
    void IdTCPServer1Disconnect(const QString &peer);
    // A point's reply has reached the connection: the point is sent.
    void replyWritten(int point);

    HandoverServer m_server;
    const ReadingLog &m_log;
    CurrentPage m_page;
    std::array<bool, PointCatalogue::kPointCount> m_sent{};
};

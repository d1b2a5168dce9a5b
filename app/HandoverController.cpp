#include "HandoverController.h"

#include "Failure.h"
#include "HandoverProtocol.h"
#include "Messages.h"

#include <algorithm>

HandoverController::HandoverController(quint16 port, const ReadingLog &log, CurrentPage page,
                                       QObject *parent)
    : QObject(parent), m_server(port), m_log(log), m_page(std::move(page))
{
    // A failure a handler does not report itself ends that handler only.
    const auto guarded = [this](auto handler) {
        return [this, handler](const auto &argument) {
            try {
                return (this->*handler)(argument);
            } catch (const Failure &f) {
                Q_EMIT errorBox(f.text());
                return decltype((this->*handler)(argument))();
            }
        };
    };
    m_server.setHandlers(guarded(&HandoverController::IdTCPServer1Connect),
                         guarded(&HandoverController::IdTCPServer1Execute),
                         guarded(&HandoverController::IdTCPServer1Disconnect));
    m_server.setConnectionErrorHandler(
        [this] { Q_EMIT trafficLine(QStringLiteral("KAPCSOLAT HIBA!")); });
}

QString HandoverController::shortened(const QString &text)
{
    if (text.size() <= kMaxLineChars)
        return text;
    return text.left(kMaxLineChars) + QStringLiteral("… (%1 karakter)").arg(text.size());
}

bool HandoverController::allSent() const
{
    return std::all_of(m_sent.begin(), m_sent.end(), [](bool s) { return s; });
}

bool HandoverController::anySent() const
{
    return std::any_of(m_sent.begin(), m_sent.end(), [](bool s) { return s; });
}

void HandoverController::resetSent()
{
    for (int point = 0; point < PointCatalogue::kPointCount; ++point) {
        m_sent[size_t(point)] = false;
        Q_EMIT statusChanged(point, false);
    }
}

void HandoverController::start()
{
    if (m_server.active())
        return;
    m_server.start();
    Q_EMIT logLine(QStringLiteral("Server start!"));
}

void HandoverController::StartServerAtStartup()
{
    try {
        start();
    } catch (const Failure &f) {
        Q_EMIT info(QStringLiteral("Az átvitel indítása nem sikerült! (Nem fogja megkapni a "
                                   "program a jármű kategóriát, és valószínű, hogy nem tudja majd "
                                   "elküldeni a mérési eredményeket!) Oka: ") +
                        f.reason(),
                    Messages::kServerFailureDesc);
    }
}

void HandoverController::stop()
{
    if (!m_server.active())
        return;
    m_server.stop();
    Q_EMIT logLine(QStringLiteral("Server stop!"));
}

void HandoverController::IdTCPServer1Connect(const QString &peer)
{
    Q_EMIT trafficLine(QStringLiteral("Connect to ") + peer);
}

void HandoverController::IdTCPServer1Disconnect(const QString &peer)
{
    Q_EMIT trafficLine(QStringLiteral("Disconnect from ") + peer);
}

std::optional<HandoverReply> HandoverController::IdTCPServer1Execute(const QString &line)
{
    // Only the first part of a long line is shown, so it is never copied whole.
    const QString shown = shortened(line);
    Q_EMIT trafficLine(QStringLiteral("In: ") + shown);
    const HandoverAnswer answer = HandoverProtocol::answer(line, m_page(), m_log);
    switch (answer.kind) {
    case HandoverAnswer::Kind::Category:
        Q_EMIT categoryArrived(answer.category);
        return std::nullopt;
    case HandoverAnswer::Kind::CategoryWrongPage:
        Q_EMIT info(QStringLiteral("Ezen a lapon már nem lehet fogadni a jármű kategóriát! Lépjen "
                                   "vissza az első lapra!"),
                    QStringLiteral("Megoldás: mielőtt megnyomja a ZOV programban az \"Eszköz "
                                   "inicializálása\" gombot, győződjön meg róla, hogy a Kromaglen "
                                   "programja az első \"Paraméterek megadása\" lapon áll."));
        return std::nullopt;
    case HandoverAnswer::Kind::Point:
        // Sent once the reply has been written, not when it is queued.
        Q_EMIT trafficLine(QStringLiteral("Out: ") + shortened(answer.reply));
        return HandoverReply(answer.reply, [this, point = answer.point] { replyWritten(point); });
    case HandoverAnswer::Kind::UnknownPoint:
        Q_EMIT trafficLine(QStringLiteral("ÉRVÉNYTELEN KÉRÉS: ") + shown);
        break;
    case HandoverAnswer::Kind::WrongPage:
        Q_EMIT info(
            QStringLiteral("Az adatok átadádához lépjen az utolsó \"Adatok átadása\" lapra!"),
            QStringLiteral("Mielőtt a ZOV programban megnyomná az \"Adatok beolvasása\" gombot, "
                           "győződjön meg róla, hogy a Kromaglen programja az utolsó, \"Adatok "
                           "átadása\" lapon áll, és minden szükséges mérési eredményt "
                           "tartalmaz."));
        break;
    }
    Q_EMIT trafficLine(QStringLiteral("Out: ") + shortened(answer.reply));
    return answer.reply;
}

void HandoverController::replyWritten(int point)
{
    m_sent[size_t(point)] = true;
    Q_EMIT statusChanged(point, true);
    Q_EMIT pointSent(point);
}

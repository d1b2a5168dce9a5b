// The handover server's handlers and the feedback sounds.
#include "KromaglenForZov_M.h"

#include "Beeper.h"
#include "HandoverProtocol.h"
#include "SoundOptions.h"
#include "SoundPlayer.h"
#include "Widgets.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>

void TF_Main::appendTrafficLog(const QString &line)
{
    m_display.appendLater(line);
}

void TF_Main::appendLog(const QString &line)
{
    m_display.append(line);
}

void TF_Main::IdTCPServer1Connect(const QString &peer)
{
    appendTrafficLog(QStringLiteral("Connect to ") + peer);
}

void TF_Main::IdTCPServer1Disconnect(const QString &peer)
{
    appendTrafficLog(QStringLiteral("Disconnect from ") + peer);
}

std::optional<HandoverReply> TF_Main::IdTCPServer1Execute(const QString &line)
{
    // Only the first part of a long line is shown, so it is never copied whole.
    const QString shown = HandoverDisplay::shortened(line);
    appendTrafficLog(QStringLiteral("In: ") + shown);
    const HandoverAnswer answer = HandoverProtocol::answer(line, activePage(), m_log);
    switch (answer.kind) {
    case HandoverAnswer::Kind::Category:
        archiveCategory(answer.category);
        SelectPlanForCategory(answer.category);
        return std::nullopt;
    case HandoverAnswer::Kind::CategoryWrongPage:
        ShowInfo(QStringLiteral("Ezen a lapon már nem lehet fogadni a jármű kategóriát! Lépjen "
                                "vissza az első lapra!"),
                 QStringLiteral("Megoldás: mielőtt megnyomja a ZOV programban az \"Eszköz "
                                "inicializálása\" gombot, győződjön meg róla, hogy a Kromaglen "
                                "programja az első \"Paraméterek megadása\" lapon áll."));
        return std::nullopt;
    case HandoverAnswer::Kind::Point:
        // Sent once the reply has been written, not when it is queued.
        appendTrafficLog(QStringLiteral("Out: ") + HandoverDisplay::shortened(answer.reply));
        return HandoverReply(answer.reply, [this, point = answer.point] {
            handled (&TF_Main::replyWritten)(point);
        });
    case HandoverAnswer::Kind::UnknownPoint:
        appendTrafficLog(QStringLiteral("ÉRVÉNYTELEN KÉRÉS: ") + shown);
        break;
    case HandoverAnswer::Kind::WrongPage:
        ShowInfo(QStringLiteral("Az adatok átadádához lépjen az utolsó \"Adatok átadása\" lapra!"),
                 QStringLiteral("Mielőtt a ZOV programban megnyomná az \"Adatok beolvasása\" "
                                "gombot, győződjön meg róla, hogy a Kromaglen programja az "
                                "utolsó, \"Adatok átadása\" lapon áll, és minden szükséges mérési "
                                "eredményt tartalmaz."));
        break;
    }
    appendTrafficLog(QStringLiteral("Out: ") + HandoverDisplay::shortened(answer.reply));
    return answer.reply;
}

void TF_Main::replyWritten(int point)
{
    m_sent[size_t(point)] = true;
    m_display.showStatusLater(point);
    archiveSent(point);
}

void TF_Main::RaiseFeedback(FeedbackEvent event, const QString &spokenValue)
{
    if (m_gauge.isShutDown())
        return;
    if (CB_Sound->currentIndex() == SoundOptions::SoundCard) {
        try {
            m_sounds.play(event, CB_SpeakNum->currentIndex() == SoundOptions::SpeakValue,
                          currentPoint(), spokenValue);
            return;
        } catch (const UnplayableSound &f) {
            // The sound card works; only this recording cannot be played. The
            // choice stays, so the station's other recordings keep playing.
            tellUnplayable(f.path());
        } catch (const Failure &) {
            // The sound card failed: use the speaker from now on, also after a restart.
            CB_Sound->setCurrentIndex(SoundOptions::Speaker);
            CB_SoundChange();
        }
    }
    if (!m_toldInaudible && !m_services.beeper->audible()) {
        m_toldInaudible = true;
        ShowInfo(QStringLiteral("A program nem tud hangot adni: a számítógépen nincs hangkimenet!"),
                 QStringLiteral("A mérés hangjelzések nélkül folytatható.\r\rMegoldás: "
                                "csatlakoztasson hangszórót vagy fejhallgatót, indítsa el a "
                                "hangrendszert (PulseAudio vagy PipeWire), majd indítsa újra a "
                                "programot!"));
    }
    m_beepWorker.enqueue(event);
}

void TF_Main::tellUnplayable(const QString &path)
{
    if (m_toldUnplayable.contains(path))
        return;
    m_toldUnplayable.insert(path);
    ShowInfo(QStringLiteral("A(z) %1 hangfájlt a program nem tudja lejátszani, helyette sípol!")
                 .arg(QDir::toNativeSeparators(path)),
             QStringLiteral("A fájl tömörített vagy ismeretlen kódolású WAV fájl.\r\rMegoldás: "
                            "mentse a felvételt PCM WAV formátumban (8, 16, 24 vagy 32 bites "
                            "egész, vagy 32 bites lebegőpontos mintákkal)!"));
}

void TF_Main::CB_SoundChange()
{
    const bool card = CB_Sound->currentIndex() == SoundOptions::SoundCard;
    L_SpeakNum->setEnabled(card);
    CB_SpeakNum->setEnabled(card);
    CB_SpeakNumChange();
}

void TF_Main::CB_SpeakNumChange()
{
    SoundOptions options;
    options.device = CB_Sound->currentIndex();
    options.readingMode = CB_SpeakNum->currentIndex();
    options.write(SoundOptions::kFileName);
}

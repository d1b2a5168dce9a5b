// The gauge link: port list, stored port, open, close, repair, and the search
// for paired gauges.
#include "KromaglenForZov_M.h"

#include "Failure.h"
#include "GaugeDiscovery.h"
#include "Messages.h"
#include "PortList.h"
#include "Registry.h"
#include "SettingsFile.h"
#include "StoredPort.h"
#include "Widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kLinkLost = QStringLiteral("Megszakadt a kapcsolat a Kromaglen-nel, a mérések nem "
                                         "érkeznek meg! Nyomja meg a \"Kom.jav.\" gombot!");

} // namespace

void TF_Main::refillPorts()
{
    const QStringList system =
        m_systemPorts.valid() ? m_systemPorts.get() : PortList::systemPorts();
    m_ports = PortList::ports(*m_services.registry, system);
    const QSignalBlocker blocker(ComComboBox1);
    ComComboBox1->clear();
    ComComboBox1->addItems(m_ports);
    ComComboBox1->setCurrentIndex(-1);
}

void TF_Main::selectPort(int index)
{
    const QSignalBlocker blocker(ComComboBox1);
    ComComboBox1->setCurrentIndex(index);
}

void TF_Main::ComComboBox1Change()
{
    try {
        SettingsFile::write(StoredPort::kFileName, StoredPort::line(ComComboBox1->currentText()));
    } catch (const Failure &f) {
        ShowInfo(QStringLiteral("A com port választás megjegyzése nem sikerült! Oka: ") +
                     f.reason(),
                 QStringLiteral("A hiba lehetséges okai:\r\r- Nincs írási joga a Kromaglen "
                                "könyvtárjához.\r- Megtelt a meghajtó.\r- A Kromalgen_com.ini "
                                "fájlt egy másik program használja."));
    }
}

void TF_Main::buildLinkLostNotice()
{
    L_LinkLost = new QLabel(kLinkLost, P_ActMeasHint->parentWidget());
    L_LinkLost->setObjectName(QStringLiteral("L_LinkLost"));
    L_LinkLost->setGeometry(P_ActMeasHint->geometry());
    L_LinkLost->setAlignment(Qt::AlignCenter);
    L_LinkLost->setWordWrap(true);
    QFont font = P_ActMeasHint->font();
    font.setBold(true);
    L_LinkLost->setFont(font);
    L_LinkLost->setStyleSheet(QStringLiteral("background-color: red; color: white;"));
    L_LinkLost->hide();
}

void TF_Main::connectGaugeSession()
{
    m_gauge.setHandlers([this](const GaugeFrame &frame) { ComPort1RxChar_GetMenu(frame); },
                        [this](const GaugeFrame &frame) { ComPort1RxChar(frame); });
    connect(&m_gauge, &GaugeSession::linkLost, this, &TF_Main::onLinkLost);
    connect(&m_gauge, &GaugeSession::closeFailed, this, &TF_Main::showCloseFailure);
}

void TF_Main::onLinkLost()
{
    // Readings taken on the gauge from now on would vanish unseen: say so
    // where the inspector looks, until a repair brings the link back.
    L_LinkLost->raise();
    L_LinkLost->show();
    if (m_gauge.route() != GaugeSession::Route::None)
        RaiseFeedback(FeedbackEvent::CannotMeasure);
}

void TF_Main::showCloseFailure(const QString &reason)
{
    ShowInfo(QStringLiteral("A bluetooth kapcsolat lezárása nem sikerült. Oka: ") + reason,
             QStringLiteral("A hiba lehetséges oka:\r\r- Az élő kapcsolat közben kihúzta a "
                            "bluetooth adaptert."));
}

void TF_Main::BB_ReconnectClick()
{
    PC_Steps->setEnabled(false);
    BB_Reconnect->setEnabled(false);
    if (const std::optional<QString> failure = m_gauge.repair())
        ShowInfo(Messages::kConnectFailure + *failure + u')', Messages::kConnectFailureDesc);
    PC_Steps->setEnabled(true);
    BB_Reconnect->setEnabled(true);
}

void TF_Main::BB_AbortConnectClick()
{
    m_gauge.requestAbort();
}

void TF_Main::BB_FindPortClick()
{
    BB_FindPort->setEnabled(false);
    const GaugeDiscovery discovery(*m_services.registry);
    QStringList entries;
    for (int i = 0; i < LB_KGLista->count(); ++i)
        entries.append(LB_KGLista->item(i)->text());
    const auto showEntries = [this, &entries] {
        LB_KGLista->clear();
        LB_KGLista->addItems(entries);
    };
    bool found = false;
    try {
        discovery.DeviceKeySearch(m_ports, entries);
        found = true;
    } catch (const Failure &) {
        showEntries();
        try {
            refillPorts();
            discovery.LocalServiceSearch(m_ports, entries);
            found = true;
        } catch (const Failure &f) {
            showEntries();
            auto *box =
                new QMessageBox(QMessageBox::Information, QStringLiteral("Kromaglen"),
                                QStringLiteral("A port keresése nem sikerült! Oka: ") + f.text(),
                                QMessageBox::Ok, this);
            box->setObjectName(QStringLiteral("FindPortBox"));
#ifndef Q_OS_WIN
            // No Bluetooth stack writes a registry here: say what is searched.
            const QString source = m_services.registry->source();
            box->setInformativeText(
                QStringLiteral("Linuxon a program a párosított Kromaglen-eket %1 keresi, a "
                               "portjukat a /dev/rfcomm* eszközök és a soros portok között.")
                    .arg(source.isEmpty()
                             ? QStringLiteral("a registry-fájlban")
                             : QStringLiteral("a(z) %1 registry-fájlban").arg(source)));
#endif
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
        }
    }
    if (found) {
        showEntries();
        LB_KGLista->setCurrentRow(LB_KGLista->count() - 1);
        LB_KGListaClick();
    }
    BB_FindPort->setEnabled(true);
}

void TF_Main::LB_KGListaClick()
{
    const QListWidgetItem *item = LB_KGLista->currentItem();
    if (!item)
        return;
    const int index = PortList::find(m_ports, GaugeDiscovery::portOfEntry(item->text()));
    if (index < 0)
        return;
    selectPort(index);
    ComComboBox1Change();
}

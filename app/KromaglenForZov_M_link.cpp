// The gauge link's controls: the port list, the repair, the link-lost
// notice, and the search for paired gauges.
#include "KromaglenForZov_M.h"

#include "Failure.h"
#include "GaugeDiscovery.h"
#include "PortList.h"
#include "Registry.h"
#include "Widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kLinkLost = QStringLiteral("Megszakadt a kapcsolat a Kromaglen-nel, a mérések nem "
                                         "érkeznek meg! Nyomja meg a \"Kom.jav.\" gombot!");
const QString kNoSound = QStringLiteral("A program nem tud hangot adni: a számítógépen nincs "
                                        "hangkimenet! A mérés hangjelzések nélkül folytatható.");
const QString kNoSoundRemedy = QStringLiteral(
    "Megoldás: csatlakoztasson hangszórót vagy fejhallgatót, indítsa el a hangrendszert "
    "(PulseAudio vagy PipeWire), majd indítsa újra a programot!");

} // namespace

void TF_Main::refillPorts()
{
    const QStringList system =
        m_systemPorts.valid() ? m_systemPorts.get() : PortList::systemPorts();
    m_flow.setPorts(PortList::ports(*m_services.registry, system));
}

void TF_Main::showPorts()
{
    const QSignalBlocker blocker(ComComboBox1);
    ComComboBox1->clear();
    ComComboBox1->addItems(m_flow.ports());
    ComComboBox1->setCurrentIndex(m_flow.portIndex());
}

void TF_Main::ComComboBox1Change(int index)
{
    m_flow.ComComboBox1Change(index);
}

QLabel *TF_Main::makeNotice(const char *name, const QString &text, const QString &colours)
{
    auto *notice = new QLabel(text, P_ActMeasHint->parentWidget());
    notice->setObjectName(QLatin1String(name));
    notice->setGeometry(P_ActMeasHint->geometry());
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    QFont font = P_ActMeasHint->font();
    font.setBold(true);
    notice->setFont(font);
    notice->setStyleSheet(colours);
    notice->hide();
    return notice;
}

void TF_Main::buildNotices()
{
    L_NoSound = makeNotice("L_NoSound", kNoSound,
                           QStringLiteral("background-color: yellow; color: black;"));
    L_NoSound->setToolTip(kNoSoundRemedy);
    L_NoSound->installEventFilter(this);
    L_NoSound->setVisible(m_toldInaudible);
    L_LinkLost =
        makeNotice("L_LinkLost", kLinkLost, QStringLiteral("background-color: red; color: white;"));
}

void TF_Main::showInaudible()
{
    // Where the inspector looks, leaving the value in sight; once per run,
    // until the point changes or the notice is clicked.
    m_toldInaudible = true;
    if (L_NoSound)
        L_NoSound->show();
    if (L_LinkLost && L_LinkLost->isVisible())
        L_LinkLost->raise();
}

void TF_Main::onLinkLost()
{
    // Readings taken on the gauge from now on would vanish unseen: say so
    // where the inspector looks, until a repair brings the link back.
    if (!L_LinkLost)
        return;
    L_LinkLost->raise();
    L_LinkLost->show();
}

void TF_Main::BB_ReconnectClick()
{
    m_flow.BB_ReconnectClick();
}

void TF_Main::BB_AbortConnectClick()
{
    m_flow.BB_AbortConnectClick();
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
        discovery.DeviceKeySearch(m_flow.ports(), entries);
        found = true;
    } catch (const Failure &) {
        showEntries();
        try {
            refillPorts();
            discovery.LocalServiceSearch(m_flow.ports(), entries);
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
    const int index = PortList::find(m_flow.ports(), GaugeDiscovery::portOfEntry(item->text()));
    if (index >= 0)
        m_flow.ComComboBox1Change(index);
}

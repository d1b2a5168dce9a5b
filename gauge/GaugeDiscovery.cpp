#include "GaugeDiscovery.h"

#include "Cp1250.h"
#include "Failure.h"
#include "PortList.h"
#include "Registry.h"

#include <algorithm>

namespace {

const QString kDevices =
    QStringLiteral("\\SYSTEM\\CurrentControlSet\\Services\\BTHPORT\\Parameters\\Devices");
const QString kLocalServices =
    QStringLiteral("\\SYSTEM\\CurrentControlSet\\Services\\BTHPORT\\Parameters\\LocalServices");
const QString kEnum = QStringLiteral("\\SYSTEM\\CurrentControlSet\\Enum\\BTHENUM");
constexpr int kNameBuffer = 1000;

[[noreturn]] void fail(const QString &text)
{
    throw Failure(QStringLiteral("Exception"), text);
}

[[noreturn]] void noBluetooth()
{
    fail(QStringLiteral("Nincs bluetooth telepítve!"));
}

[[noreturn]] void registrationError()
{
    fail(QStringLiteral("Bluetooth regisztrációs hiba!"));
}

[[noreturn]] void badType(const QString &name)
{
    throw Failure(QStringLiteral("ERegistryException"),
                  QStringLiteral("Invalid data type for '%1'").arg(name));
}

QString sub(const QString &key, const QString &child)
{
    return key + u'\\' + child;
}

} // namespace

QString GaugeDiscovery::readBinaryText(const QString &key, const QString &name) const
{
    const auto v = m_registry.value(key, name);
    if (!v)
        return {};
    if (v->type != Registry::Value::Type::Binary && v->type != Registry::Value::Type::Other)
        badType(name);
    if (v->bytes.size() > kNameBuffer)
        badType(name);
    const qsizetype zero = v->bytes.indexOf('\0');
    return Cp1250::decode(zero < 0 ? v->bytes : v->bytes.left(zero));
}

QString GaugeDiscovery::readString(const QString &key, const QString &name) const
{
    const auto v = m_registry.value(key, name);
    if (!v)
        return {};
    if (v->type != Registry::Value::Type::String)
        badType(name);
    return v->text;
}

void GaugeDiscovery::DeviceKeySearch(const QStringList &ports, QStringList &entries) const
{
    if (!m_registry.keyExists(kDevices))
        noBluetooth();
    QList<FoundGauge> gauges;
    for (const QString &device : m_registry.subkeys(kDevices)) {
        if (gauges.size() >= kMaxGauges)
            break;
        const QString deviceKey = sub(kDevices, device);
        if (!m_registry.keyExists(deviceKey))
            noBluetooth();
        const QString name = readBinaryText(deviceKey, QStringLiteral("Name"));
        if (!name.contains(QStringLiteral("KROMAGLEN")))
            continue;
        qsizetype found = -1;
        for (const QString &s : m_registry.subkeys(deviceKey)) {
            if (!s.contains(QStringLiteral("ServicesFor")))
                continue;
            const QString sKey = sub(deviceKey, s);
            if (!m_registry.keyExists(sKey))
                registrationError();
            const QStringList rs = m_registry.subkeys(sKey);
            if (rs.size() != 1)
                registrationError();
            const QString rKey = sub(sKey, rs.first());
            if (!m_registry.keyExists(rKey))
                registrationError();
            for (const QString &k : m_registry.subkeys(rKey)) {
                const QString kKey = sub(rKey, k);
                if (!m_registry.keyExists(kKey))
                    registrationError();
                const QString service = readBinaryText(kKey, QStringLiteral("PriLangServiceName"));
                if (service != u"Bluetooth Serial Port" && service != u"RNI-SPP")
                    continue;
                if (found < 0) {
                    gauges.append({name, device.toUpper(), {k}});
                    found = gauges.size() - 1;
                } else {
                    gauges[found].serviceKeys.append(k);
                }
            }
        }
    }
    if (gauges.isEmpty())
        fail(QStringLiteral("Nem lett még csatlakoztatva Kromaglen!"));
    if (!matchPorts(gauges, true, ports, entries))
        fail(QStringLiteral("Nem lett még csatlakoztatva Kromaglen, vagy a bluetooth nincs "
                            "bedugva!"));
}

void GaugeDiscovery::LocalServiceSearch(const QStringList &ports, QStringList &entries) const
{
    entries.clear();
    if (!m_registry.keyExists(kLocalServices))
        noBluetooth();
    QList<FoundGauge> gauges;
    for (const QString &c : m_registry.subkeys(kLocalServices)) {
        if (gauges.size() >= kMaxGauges)
            break;
        const QString cKey = sub(kLocalServices, c);
        if (!m_registry.keyExists(cKey))
            noBluetooth();
        for (const QString &n : m_registry.subkeys(cKey)) {
            if (gauges.size() >= kMaxGauges)
                break;
            const QString nKey = sub(cKey, n);
            if (!m_registry.keyExists(nKey))
                noBluetooth();
            const QString service = readString(nKey, QStringLiteral("ServiceName"));
            if (!service.contains(QStringLiteral("KROMAGLEN")))
                continue;
            const auto v = m_registry.value(nKey, QStringLiteral("AssocBdAddr"));
            if (v && v->type != Registry::Value::Type::Binary &&
                v->type != Registry::Value::Type::Other)
                badType(QStringLiteral("AssocBdAddr"));
            // Read into 8 bytes: a larger value does not fit and fails as a
            // registry read; a shorter or missing one is no address.
            if (v && v->bytes.size() > 8)
                badType(QStringLiteral("AssocBdAddr"));
            if (!v || v->bytes.size() != 8)
                noBluetooth();
            QString address;
            for (int i = 5; i >= 0; --i)
                address += QStringLiteral("%1").arg(quint8(v->bytes.at(i)), 2, 16, QChar(u'0'));
            gauges.append({service, address.toUpper(), {}});
        }
    }
    if (gauges.isEmpty())
        fail(QStringLiteral("Nem lett még csatlakoztatva Kromaglen!"));
    if (!matchPorts(gauges, false, ports, entries))
        fail(QStringLiteral("Nem lett még csatlakoztatva Kromaglen, vagy a bluetooth nincs "
                            "bedugva!"));
}

bool GaugeDiscovery::matchPorts(const QList<FoundGauge> &gauges, bool deviceRules,
                                const QStringList &ports, QStringList &entries) const
{
    if (!m_registry.keyExists(kEnum))
        noBluetooth();
    bool noted = false;
    for (const QString &c : m_registry.subkeys(kEnum)) {
        const QString cKey = sub(kEnum, c);
        if (!m_registry.keyExists(cKey))
            registrationError();
        for (const QString &instance : m_registry.subkeys(cKey)) {
            const QString u = deviceRules ? instance.toUpper() : instance;
            for (const FoundGauge &g : gauges) {
                if (!u.contains(g.address))
                    continue;
                if (deviceRules && std::none_of(g.serviceKeys.begin(), g.serviceKeys.end(),
                                                [&u](const QString &k) { return u.contains(k); }))
                    continue;
                const QString params =
                    sub(sub(cKey, instance), QStringLiteral("Device Parameters"));
                if (!m_registry.keyExists(params))
                    registrationError();
                const QString port = readString(params, QStringLiteral("PortName"));
                if (PortList::find(ports, port) < 0)
                    continue;
                noted = true;
                const QString entry = port + QStringLiteral(": ") + g.name;
                if (PortList::find(entries, entry) < 0)
                    entries.append(entry);
            }
        }
    }
    sortEntries(entries);
    return noted;
}

void GaugeDiscovery::sortEntries(QStringList &entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
}

QString GaugeDiscovery::portOfEntry(const QString &entry)
{
    const qsizetype colon = entry.indexOf(u':');
    return colon < 0 ? QString() : entry.left(colon);
}

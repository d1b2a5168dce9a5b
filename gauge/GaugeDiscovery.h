#pragma once

#include <QStringList>

class Registry;

// Finds gauges paired with this PC in the Bluetooth stack's registry keys and
// the COM ports of their serial-port service. Each search returns the list
// entries "<port>: <gauge name>" it found for ports in the given port list;
// a failure is thrown as Failure (kind Exception, or ERegistryException for a
// value of the wrong type).
class GaugeDiscovery
{
public:
    static constexpr int kMaxGauges = 1000;

    explicit GaugeDiscovery(const Registry &registry) : m_registry(registry) {}

    // Paired devices whose name holds KROMAGLEN and their serial services.
    // Entries already in `entries` are kept and not repeated.
    void DeviceKeySearch(const QStringList &ports, QStringList &entries) const;
    // Local serial services whose name holds KROMAGLEN; `entries` starts empty.
    void LocalServiceSearch(const QStringList &ports, QStringList &entries) const;

    // Sorted ignoring case, as the list box keeps them.
    static void sortEntries(QStringList &entries);
    // The port part of an entry: the text before its first ":".
    static QString portOfEntry(const QString &entry);

private:
    struct FoundGauge
    {
        QString name;
        QString address;
        QStringList serviceKeys;
    };

    bool matchPorts(const QList<FoundGauge> &gauges, bool deviceRules, const QStringList &ports,
                    QStringList &entries) const;
    QString readBinaryText(const QString &key, const QString &name) const;
    QString readString(const QString &key, const QString &name) const;

    const Registry &m_registry;
};

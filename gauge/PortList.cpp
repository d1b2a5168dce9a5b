#include "PortList.h"

#include "Registry.h"
#include "SerialSettings.h"

#include <QDir>
#include <QSerialPortInfo>
#include <algorithm>

namespace PortList {

int find(const QStringList &ports, const QString &name)
{
    for (int i = 0; i < ports.size(); ++i) {
        if (ports.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList systemPorts()
{
    QStringList names;
#ifndef Q_OS_WIN
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names.append(info.portName());
    // Without a name filter: a wildcard would load the regular-expression
    // engine (half a megabyte) for this one look at /dev.
    for (const QString &device : QDir(QStringLiteral("/dev")).entryList(QDir::System)) {
        if (device.startsWith(u"rfcomm"))
            names.append(device);
    }
#endif
    return names;
}

QStringList ports(const Registry &registry)
{
    return ports(registry, systemPorts());
}

QStringList ports(const Registry &registry, const QStringList &system)
{
    QStringList names;
    const auto add = [&names](const QString &name) {
        if (!name.isEmpty() && find(names, name) < 0)
            names.append(name);
    };
    QStringList valueNames;
    try {
        valueNames = registry.valueNames(kSerialCommKey);
    } catch (const Registry::EnumerationError &e) {
        SerialSettings::fail("EnumPorts function failed", e.code);
    }
    for (const QString &valueName : valueNames) {
        const auto v = registry.value(kSerialCommKey, valueName);
        if (v && v->type == Registry::Value::Type::String)
            add(v->text);
    }
    for (const QString &name : system)
        add(name);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

} // namespace PortList

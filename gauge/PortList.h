#pragma once

#include <QStringList>

class Registry;

namespace PortList {

inline const QString kSerialCommKey = QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM");

// The serial ports of this machine, sorted ignoring letter case, without
// duplicates: the SERIALCOMM values of the registry and the system's ports
// (systemPorts()). Throws Failure (EComPort, "EnumPorts function failed") when
// the listing fails.
QStringList ports(const Registry &registry);
// The same with the system's ports listed beforehand.
QStringList ports(const Registry &registry, const QStringList &system);

// Off Windows, the ports the system reports and the Bluetooth /dev/rfcomm*
// devices; nothing on Windows, where the registry lists them. Takes about a
// millisecond on Linux; it may run on any thread.
QStringList systemPorts();

// Position of the port in the list, whole name compared ignoring case, or -1.
int find(const QStringList &ports, const QString &name);

} // namespace PortList

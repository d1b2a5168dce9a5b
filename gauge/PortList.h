#pragma once

#include <QStringList>

class Registry;

namespace PortList {

inline const QString kSerialCommKey = QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM");

// The serial ports of this machine, sorted ignoring letter case, without
// duplicates: the SERIALCOMM values of the registry and, off Windows, the
// ports the system reports and the Bluetooth /dev/rfcomm* devices. Throws
// Failure (EComPort, "EnumPorts function failed") when the listing fails.
QStringList ports(const Registry &registry);

// Position of the port in the list, whole name compared ignoring case, or -1.
int find(const QStringList &ports, const QString &name);

} // namespace PortList

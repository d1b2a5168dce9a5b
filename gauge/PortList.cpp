#include "PortList.h"

#include "Registry.h"
#include "SerialSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// A port of the standard UART driver is listed for every slot the kernel
// reserves; only one whose chip answers is there.
bool uartAnswers(const QString &name)
{
    const int fd = ::open(QFile::encodeName(QStringLiteral("/dev/") + name).constData(),
                          O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool answers = ::ioctl(fd, TIOCGSERIAL, &info) != -1 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return answers;
}

// The terminals with a device behind them, as Qt's serial port listing
// reports them through udev: read from sysfs instead, which takes a
// millisecond where udev's look at every terminal of the machine takes 20.
// Bluetooth, null-modem and gadget ports have no device and count as well.
QStringList serialTerminals()
{
    QStringList names;
    const QDir ttys(QStringLiteral("/sys/class/tty"));
    for (const QString &name : ttys.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        const QString device = ttys.filePath(name + QStringLiteral("/device"));
        if (!QFileInfo::exists(device)) {
            if (name.startsWith(u"rfcomm") || name.startsWith(u"tnt") || name.startsWith(u"ttyGS"))
                names.append(name);
            continue;
        }
        const QString driver = QFileInfo(device + QStringLiteral("/driver")).symLinkTarget();
        if (QFileInfo(driver).fileName() == u"serial8250" && !uartAnswers(name))
            continue;
        names.append(name);
    }
    return names;
}
#endif

} // namespace

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
#if defined(Q_OS_LINUX)
    names = serialTerminals();
#elif !defined(Q_OS_WIN)
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names.append(info.portName());
#endif
#ifndef Q_OS_WIN
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

// Registry files: any content parses without crashing, and the gauge search
// and the Java check over it either succeed or fail with a Failure.
#include "Failure.h"
#include "FileRegistry.h"
#include "GaugeDiscovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const FileRegistry registry = FileRegistry::fromBytes(content);
    const QStringList ports{QStringLiteral("COM5"), QStringLiteral("COM7")};
    QStringList entries;
    const GaugeDiscovery discovery(registry);
    try {
        discovery.DeviceKeySearch(ports, entries);
    } catch (const Failure &) {
    }
    try {
        discovery.LocalServiceSearch(ports, entries);
    } catch (const Failure &) {
    }
    for (const QString &key : registry.subkeys(QString()))
        registry.valueNames(key);
    return 0;
}

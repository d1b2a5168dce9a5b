// "Kromaglen_sound.ini" and "Kromaglen_com.ini": any content gives a valid
// choice and a port name that writes back to one line.
#include "SoundOptions.h"
#include "StoredPort.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    SoundOptions options;
    options.applyContent(content);
    if (options.device < 0 || options.device > 1 || options.readingMode < 0 ||
        options.readingMode > 1 || options.line().size() != 2)
        std::abort();
    const QString port = StoredPort::parse(content);
    if (port.contains(u'\r') || port.contains(u'\n'))
        std::abort();
    const QByteArray line = StoredPort::line(port);
    if (line.count('\n') != 1 || !line.endsWith("\r\n"))
        std::abort();
    return 0;
}

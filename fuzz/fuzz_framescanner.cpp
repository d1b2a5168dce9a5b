// Gauge frames in both modes: random chunks never crash the scanner, every
// frame comes out whole, and the buffer never holds a complete frame after a
// drain.
#include "FrameScanner.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const ReceiveMode mode = data[0] & 1 ? ReceiveMode::Connect : ReceiveMode::Measuring;
    FrameScanner scanner;
    size_t pos = 1;
    bool last = false;
    while (pos < size) {
        const size_t chunk = 1 + data[pos] % 7;
        ++pos;
        const size_t n = std::min(chunk, size - pos);
        scanner.append(QByteArrayView(reinterpret_cast<const char *>(data + pos), qsizetype(n)));
        pos += n;
        while (const auto frame = scanner.next()) {
            decideFrameAction(mode, *frame, last);
            last = !last;
        }
        const QByteArray &rest = scanner.buffer();
        if (rest.size() >= 3 && !(rest.startsWith(",FE") || rest.startsWith(",AL")))
            std::abort();
        if (rest.size() >= 5)
            std::abort();
    }
    return 0;
}

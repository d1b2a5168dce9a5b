// The handover connection: any byte stream is cut into lines no longer than
// the limit, and every line gets an answer of the right kind for each page.
#include "Cp1250.h"
#include "HandoverProtocol.h"
#include "LineFramer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ReadingLog readings = [] {
        ReadingLog log;
        log.append(10, {Substrate::FE, 123});
        log.append(10, {Substrate::AL, 65535});
        return log;
    }();
    LineFramer framer;
    size_t pos = 0;
    while (pos < size) {
        const size_t n = std::min<size_t>(1 + data[pos] % 64, size - pos);
        framer.append(QByteArrayView(reinterpret_cast<const char *>(data + pos), qsizetype(n)));
        pos += n;
        while (const auto line = framer.next()) {
            if (line->size() > LineFramer::kMaxLineLength || line->contains("\r\n"))
                std::abort();
            const QString text = Cp1250::decode(*line);
            for (WizardPage page : {WizardPage::Config, WizardPage::Meas, WizardPage::Send}) {
                const HandoverAnswer a = HandoverProtocol::answer(text, page, readings);
                const bool category = a.kind == HandoverAnswer::Kind::Category ||
                                      a.kind == HandoverAnswer::Kind::CategoryWrongPage;
                if (category != text.startsWith(HandoverProtocol::kCategoryPrefix))
                    std::abort();
                if (!category && a.reply.isEmpty())
                    std::abort();
                if (a.kind == HandoverAnswer::Kind::Point && page != WizardPage::Send)
                    std::abort();
            }
        }
        if (framer.overflowed())
            break;
    }
    framer.takeRest();
    return 0;
}

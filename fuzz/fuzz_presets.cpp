// "Kromaglen.ini": any content either loads or fails with a Failure; what
// loads has valid, distinct indexes and survives writing and reading again.
#include "Failure.h"
#include "PresetsFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<PlanPreset> presets;
    try {
        presets = PresetsFile::parse(content);
    } catch (const Failure &) {
        return 0;
    }
    for (const PlanPreset &p : presets) {
        for (const PlanEntry &e : p.entries) {
            if (!PointCatalogue::isValidIndex(e.index))
                std::abort();
        }
    }
    const QList<PlanPreset> again = PresetsFile::parse(PresetsFile::serialize(presets));
    if (again.size() != presets.size())
        std::abort();
    for (qsizetype i = 0; i < again.size(); ++i) {
        if (again[i].entries != presets[i].entries)
            std::abort();
    }
    return 0;
}

#include "Paths.h"

namespace Paths {

QString local(const QString &programPath)
{
#ifdef Q_OS_WIN
    return programPath;
#else
    QString path = programPath;
    path.replace(u'\\', u'/');
    return path;
#endif
}

} // namespace Paths

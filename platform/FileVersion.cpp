#include "platform/FileVersion.h"

#include <QFileInfo>

bool PackFileVersion(qint64 a, qint64 b, qint64 c, qint64 d, quint32* high, quint32* low) {
    for (const qint64 part : {a, b, c, d}) {
        if (part < 0 || part > 0xFFFF)
            return false;
    }
    if (high != nullptr)
        *high = static_cast<quint32>((a << 16) | b);
    if (low != nullptr)
        *low = static_cast<quint32>((c << 16) | d);
    return true;
}

int GetFileVersion(const QString& path, quint32* high, quint32* low) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return 0;
#if defined(PELMORA_VERSION_MAJOR) && defined(PELMORA_VERSION_MINOR) && \
    defined(PELMORA_VERSION_PATCH) && defined(PELMORA_VERSION_TWEAK)
    // An empty number (a project version with fewer parts) counts as 0.
    return PackFileVersion(PELMORA_VERSION_MAJOR + 0, PELMORA_VERSION_MINOR + 0,
                           PELMORA_VERSION_PATCH + 0, PELMORA_VERSION_TWEAK + 0, high, low)
               ? 1
               : 0;
#else
    (void)high;
    (void)low;
    return 0;
#endif
}

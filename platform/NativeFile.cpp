#include "platform/NativeFile.h"

#include <QFile>

std::FILE* OpenCFile(const QString& path, const char* mode) {
#ifdef Q_OS_WIN
    const QString wideMode = QString::fromLatin1(mode);
    return _wfopen(reinterpret_cast<const wchar_t*>(path.utf16()),
                   reinterpret_cast<const wchar_t*>(wideMode.utf16()));
#else
    return std::fopen(QFile::encodeName(path).constData(), mode);
#endif
}

bool RemoveNativeFile(const QString& path) {
#ifdef Q_OS_WIN
    return _wremove(reinterpret_cast<const wchar_t*>(path.utf16())) == 0;
#else
    return std::remove(QFile::encodeName(path).constData()) == 0;
#endif
}

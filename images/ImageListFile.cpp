#include "images/ImageListFile.h"

#include "platform/AtomicOutputFile.h"
#include "platform/PathUtils.h"

#include <QFile>

#include <cstring>

bool FitsImageRecord(const QString& path) {
    return ToAnsi(path).size() < kImagePathFieldSize;
}

QStringList ParseImageRecords(const QByteArray& data) {
    QStringList paths;
    const qsizetype count = data.size() / kImageRecordSize;
    for (qsizetype i = 0; i < count; ++i) {
        const char* record = data.constData() + i * kImageRecordSize;
        const void* zero = std::memchr(record, 0, kImageRecordSize);
        const qsizetype length =
            zero != nullptr ? static_cast<const char*>(zero) - record : kImageRecordSize;
        paths.append(QString::fromLocal8Bit(record, length));
    }
    return paths;
}

QByteArray SerializeImageRecords(const QStringList& paths) {
    QByteArray data;
    data.reserve(paths.size() * kImageRecordSize);
    for (const QString& path : paths) {
        const QByteArray text = ToAnsi(path);
        if (text.size() >= kImagePathFieldSize)
            continue;
        QByteArray record(kImageRecordSize, '\0');
        std::memcpy(record.data(), text.constData(), static_cast<std::size_t>(text.size()));
        data.append(record);
    }
    return data;
}

ImageListContents ReadImageListFile(const QString& file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return {Status::Failure(input.errorString()), {}, 0};
    const QByteArray data = input.readAll();
    return {Status(), ParseImageRecords(data), data.size()};
}

Status WriteImageListFile(const QString& file, const QStringList& paths) {
    return WriteFileAtomically(file, SerializeImageRecords(paths));
}

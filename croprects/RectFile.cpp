#include "croprects/RectFile.h"

#include "platform/AtomicOutputFile.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

constexpr int kUnitOffset = 0;
constexpr int kLeftOffset = 8;
constexpr int kTopOffset = 16;
constexpr int kRightOffset = 24;
constexpr int kBottomOffset = 32;
constexpr int kColorOffset = 40;

double ReadDouble(const char* record, int offset) {
    const quint64 bits = qFromLittleEndian<quint64>(record + offset);
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void WriteDouble(char* record, int offset, double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, record + offset);
}

}  // namespace

std::vector<CCropRect> ParseRectRecords(const QByteArray& data) {
    std::vector<CCropRect> rects;
    const qsizetype count = data.size() / kRectRecordSize;
    rects.reserve(static_cast<std::size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const char* record = data.constData() + i * kRectRecordSize;
        CCropRect rect;
        rect.isPixel = static_cast<unsigned char>(record[kUnitOffset]);
        rect.left = ReadDouble(record, kLeftOffset);
        rect.top = ReadDouble(record, kTopOffset);
        rect.right = ReadDouble(record, kRightOffset);
        rect.bottom = ReadDouble(record, kBottomOffset);
        rect.color = qFromLittleEndian<quint32>(record + kColorOffset);
        rects.push_back(rect);
    }
    return rects;
}

QByteArray SerializeRectRecords(const std::vector<CCropRect>& rects) {
    QByteArray data(static_cast<qsizetype>(rects.size()) * kRectRecordSize, '\0');
    char* record = data.data();
    for (const CCropRect& rect : rects) {
        // Pixel edges go out without conversion dust, so that any reader of
        // the file cuts where the program showed them.
        const auto edge = [&rect](double v) { return rect.isPixel != 0 ? WholeIfNear(v) : v; };
        record[kUnitOffset] = static_cast<char>(rect.isPixel & 0xFF);
        WriteDouble(record, kLeftOffset, edge(rect.left));
        WriteDouble(record, kTopOffset, edge(rect.top));
        WriteDouble(record, kRightOffset, edge(rect.right));
        WriteDouble(record, kBottomOffset, edge(rect.bottom));
        qToLittleEndian<quint32>(rect.color, record + kColorOffset);
        record += kRectRecordSize;
    }
    return data;
}

RectFileContents ReadRectFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Status::Failure(file.errorString()), {}};
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {Status::Failure(file.errorString()), {}};
    return {Status(), ParseRectRecords(data)};
}

Status WriteRectFile(const QString& path, const std::vector<CCropRect>& rects) {
    return WriteFileAtomically(path, SerializeRectRecords(rects));
}

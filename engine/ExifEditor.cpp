#include "engine/ExifEditor.h"

#include <cstring>

// GCC 12 with the sanitizers takes the bounds-checked reads below for reads
// past QByteArray's shared empty buffer.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif

namespace {

constexpr quint16 kTagImageWidth = 0x0100;
constexpr quint16 kTagImageLength = 0x0101;
constexpr quint16 kTagThumbnailOffset = 0x0201;
constexpr quint16 kTagThumbnailLength = 0x0202;
constexpr quint16 kTypeShort = 3;
constexpr quint16 kTypeLong = 4;
constexpr int kEntrySize = 12;

// Bounds-checked TIFF integers in the structure's byte order.
class Tiff {
  public:
    explicit Tiff(QByteArray& data) : data_(data) {
        if (data.size() < 8)
            return;
        if (data.startsWith("II")) {
            bigEndian_ = false;
        } else if (data.startsWith("MM")) {
            bigEndian_ = true;
        } else {
            return;
        }
        valid_ = Get16(2) == 0x2A;
    }

    bool Valid() const { return valid_; }
    qsizetype Size() const { return data_.size(); }
    bool Fits(qsizetype offset, qsizetype length) const {
        return offset >= 0 && length >= 0 && offset <= Size() - length;
    }
    quint32 Get16(qsizetype at) const {
        if (at < 0 || at > data_.size() - 2)
            return 0;  // callers check; this keeps reads safe
        const auto a = static_cast<quint8>(data_.constData()[at]);
        const auto b = static_cast<quint8>(data_.constData()[at + 1]);
        return bigEndian_ ? (a << 8) | b : (b << 8) | a;
    }
    quint32 Get32(qsizetype at) const {
        const quint32 first = Get16(at);
        const quint32 second = Get16(at + 2);
        return bigEndian_ ? (first << 16) | second : (second << 16) | first;
    }
    void Put16(qsizetype at, quint32 value) {
        if (at < 0 || at > data_.size() - 2)
            return;
        const auto high = static_cast<char>((value >> 8) & 0xFF);
        const auto low = static_cast<char>(value & 0xFF);
        data_[at] = bigEndian_ ? high : low;
        data_[at + 1] = bigEndian_ ? low : high;
    }
    void Put32(qsizetype at, quint32 value) {
        Put16(at + (bigEndian_ ? 0 : 2), value >> 16);
        Put16(at + (bigEndian_ ? 2 : 0), value & 0xFFFF);
    }

    // An IFD's entry count, or -1 when the IFD does not fit.
    int EntryCount(qsizetype ifd) const {
        if (!Fits(ifd, 2))
            return -1;
        const int count = static_cast<int>(Get16(ifd));
        return Fits(ifd + 2, static_cast<qsizetype>(count) * kEntrySize + 4) ? count : -1;
    }
    qsizetype FindEntry(qsizetype ifd, quint16 tag) const {
        const int count = EntryCount(ifd);
        for (int i = 0; i < count; ++i) {
            const qsizetype entry = ifd + 2 + static_cast<qsizetype>(i) * kEntrySize;
            if (Get16(entry) == tag)
                return entry;
        }
        return -1;
    }
    qsizetype NextIfdField(qsizetype ifd) const {
        const int count = EntryCount(ifd);
        return count < 0 ? -1 : ifd + 2 + static_cast<qsizetype>(count) * kEntrySize;
    }
    // The single numeric value of an entry (SHORT or LONG, count 1), or -1.
    qint64 Value(qsizetype entry) const {
        if (Get32(entry + 4) != 1)
            return -1;
        const quint32 type = Get16(entry + 2);
        if (type == kTypeShort)
            return Get16(entry + 8);
        if (type == kTypeLong)
            return Get32(entry + 8);
        return -1;
    }
    void SetValue(qsizetype entry, quint32 value) {
        if (Get16(entry + 2) == kTypeShort && value <= 0xFFFF) {
            Put16(entry + 8, value);
            Put16(entry + 10, 0);
        } else {
            Put16(entry + 2, kTypeLong);
            Put32(entry + 4, 1);
            Put32(entry + 8, value);
        }
    }

  private:
    QByteArray& data_;
    bool bigEndian_ = false;
    bool valid_ = false;
};

}  // namespace

bool FindExifThumbnail(const QByteArray& tiff, ExifThumbnailPlace& place) {
    QByteArray shared = tiff;  // only read below: stays shared, never copied
    const Tiff t(shared);
    if (!t.Valid())
        return false;
    const qsizetype ifd0 = t.Get32(4);
    const qsizetype link = t.NextIfdField(ifd0);
    if (link < 0)
        return false;
    const qsizetype ifd1 = t.Get32(link);
    if (ifd1 == 0 || ifd1 == ifd0 || t.EntryCount(ifd1) < 0)
        return false;
    const qsizetype offsetEntry = t.FindEntry(ifd1, kTagThumbnailOffset);
    const qsizetype lengthEntry = t.FindEntry(ifd1, kTagThumbnailLength);
    if (offsetEntry < 0 || lengthEntry < 0)
        return false;
    const qint64 offset = t.Value(offsetEntry);
    const qint64 length = t.Value(lengthEntry);
    if (offset < 8 || length <= 0 || !t.Fits(offset, length))
        return false;
    place = {static_cast<qsizetype>(offset), static_cast<qsizetype>(length), offsetEntry,
             lengthEntry, link};
    return true;
}

bool RewriteIfd0Dimensions(QByteArray& tiff, quint32 width, quint32 height) {
    Tiff t(tiff);
    if (!t.Valid())
        return false;
    const qsizetype ifd0 = t.Get32(4);
    if (t.EntryCount(ifd0) < 0)
        return false;
    for (const auto& [tag, value] : {std::pair{kTagImageWidth, width}, {kTagImageLength, height}}) {
        const qsizetype entry = t.FindEntry(ifd0, tag);
        if (entry >= 0 && t.Value(entry) >= 0)
            t.SetValue(entry, value);
    }
    return true;
}

bool ReplaceExifThumbnail(QByteArray& tiff, const QByteArray& thumbnail, qsizetype maxSize) {
    ExifThumbnailPlace place;
    if (!FindExifThumbnail(tiff, place))
        return false;
    QByteArray edited = tiff;
    std::memset(edited.data() + place.offset, 0, static_cast<std::size_t>(place.length));
    if (place.offset + place.length == edited.size())
        edited.truncate(place.offset);
    Tiff t(edited);
    const qsizetype newOffset = edited.size();
    if (thumbnail.isEmpty() || newOffset + thumbnail.size() > maxSize ||
        newOffset + thumbnail.size() > 0xFFFFFFFF) {
        t.Put32(place.ifd1Link, 0);  // unlink IFD1: no thumbnail at all
    } else {
        edited.append(thumbnail);
        t.SetValue(place.offsetEntry, static_cast<quint32>(newOffset));
        t.SetValue(place.lengthEntry, static_cast<quint32>(thumbnail.size()));
    }
    tiff = edited;
    return true;
}

QSize JpegStreamSize(const QByteArray& jpeg) {
    const auto* d = reinterpret_cast<const quint8*>(jpeg.constData());
    qsizetype pos = 2;
    if (jpeg.size() < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return {};
    while (pos + 4 <= jpeg.size() && d[pos] == 0xFF) {
        const int code = d[pos + 1];
        const int length = (d[pos + 2] << 8) | d[pos + 3];
        const bool frame =
            code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (frame && length >= 7 && pos + 9 <= jpeg.size()) {
            return QSize((d[pos + 7] << 8) | d[pos + 8], (d[pos + 5] << 8) | d[pos + 6]);
        }
        if (code == 0xDA || length < 2)
            break;
        pos += 2 + length;
    }
    return {};
}

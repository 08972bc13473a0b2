#include "images/ThumbnailCache.h"

#include "engine/Img.h"
#include "engine/RgbPicture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype kSignatureSize = 8;
// Entries are small pictures; anything far larger is not one.
constexpr qint64 kMostEntryBytes = 8 * 1024 * 1024;
constexpr quint32 kMostEntrySide = 1024;
constexpr qsizetype kMostTextBytes = 64 * 1024;

const std::array<quint32, 256>& CrcTable() {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

quint32 Crc32(const char* data, qsizetype size) {
    const auto& table = CrcTable();
    quint32 crc = 0xFFFFFFFFU;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ static_cast<quint8>(data[i])) & 0xFFU] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFU;
}

quint32 BigEndian32(const char* p) {
    const auto* u = reinterpret_cast<const quint8*>(p);
    return (quint32{u[0]} << 24) | (quint32{u[1]} << 16) | (quint32{u[2]} << 8) | quint32{u[3]};
}

void AppendBigEndian32(QByteArray& out, quint32 value) {
    out.append(static_cast<char>(value >> 24));
    out.append(static_cast<char>(value >> 16));
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value));
}

QByteArray Chunk(const QByteArray& type, const QByteArray& data) {
    QByteArray chunk;
    AppendBigEndian32(chunk, static_cast<quint32>(data.size()));
    const QByteArray body = type + data;
    chunk.append(body);
    AppendBigEndian32(chunk, Crc32(body.constData(), body.size()));
    return chunk;
}

// zlib data of a zTXt or compressed iTXt chunk, bounded so that a hostile
// entry cannot make us inflate much.
std::optional<QByteArray> Inflate(const QByteArray& compressed) {
    QByteArray prefixed;
    AppendBigEndian32(prefixed, static_cast<quint32>(kMostTextBytes));
    prefixed.append(compressed);
    QByteArray text = qUncompress(prefixed);
    if (text.isEmpty() && !compressed.isEmpty())
        return std::nullopt;
    if (text.size() > kMostTextBytes)
        return std::nullopt;
    return text;
}

// The key and text of a text chunk; nothing for a malformed one.
std::optional<std::pair<QByteArray, QByteArray>> ParseText(const QByteArray& type,
                                                           const QByteArray& data) {
    const qsizetype keyEnd = data.indexOf('\0');
    if (keyEnd <= 0)
        return std::nullopt;
    const QByteArray key = data.left(keyEnd);
    const QByteArray rest = data.mid(keyEnd + 1);
    if (type == "tEXt")
        return std::make_pair(key, rest);
    if (type == "zTXt") {
        if (rest.isEmpty() || rest[0] != 0)
            return std::nullopt;
        auto text = Inflate(rest.mid(1));
        if (!text)
            return std::nullopt;
        return std::make_pair(key, *text);
    }
    // iTXt: compression flag, method, language tag, translated key, text.
    if (rest.size() < 2)
        return std::nullopt;
    const bool compressed = rest[0] != 0;
    const qsizetype languageEnd = rest.indexOf('\0', 2);
    const qsizetype translatedEnd = languageEnd < 0 ? -1 : rest.indexOf('\0', languageEnd + 1);
    if (translatedEnd < 0)
        return std::nullopt;
    const QByteArray text = rest.mid(translatedEnd + 1);
    if (!compressed)
        return std::make_pair(key, text);
    auto inflated = Inflate(text);
    if (!inflated)
        return std::nullopt;
    return std::make_pair(key, *inflated);
}

bool EnsureFolder(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    if (::stat(local.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const QString parent = QFileInfo(path).path();
    if (parent != path && !EnsureFolder(parent))
        return false;
    return ::mkdir(local.constData(), 0700) == 0 || errno == EEXIST;
}

QString Md5Name(const QByteArray& uri) {
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

QByteArray PngWithText::Text(const QByteArray& key) const {
    for (const auto& [k, v] : text) {
        if (k == key)
            return v;
    }
    return {};
}

QString DefaultThumbnailCacheRoot() {
    // A relative XDG_CACHE_HOME is invalid and ignored.
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

QByteArray FileUri(const QString& absolutePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = QFile::encodeName(absolutePath);
    QByteArray uri = "file://";
    uri.reserve(uri.size() + bytes.size() * 3);
    for (const char c : bytes) {
        const auto u = static_cast<quint8>(c);
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                           (u >= '0' && u <= '9') || std::strchr("-_.!~*'()/:@&=+$,", u) != nullptr;
        if (plain && u != 0) {
            uri.append(c);
        } else {
            uri.append('%');
            uri.append(kHex[u >> 4]);
            uri.append(kHex[u & 0xFU]);
        }
    }
    return uri;
}

ThumbnailSource IdentifyThumbnailSource(const QString& path) {
    ThumbnailSource source;
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    if (::stat(local.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return source;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return source;
    source.ok = true;
    source.uri = FileUri(canonical);
    source.mtime = static_cast<qint64>(info.st_mtime);
    source.size = static_cast<qint64>(info.st_size);
    return source;
}

QString ThumbnailFileName(const QByteArray& uri) {
    return Md5Name(uri);
}

std::optional<PngWithText> ReadPngWithText(const QByteArray& bytes) {
    if (bytes.size() < kSignatureSize || bytes.size() > kMostEntryBytes ||
        std::memcmp(bytes.constData(), kPngSignature, kSignatureSize) != 0)
        return std::nullopt;
    PngWithText png;
    quint32 width = 0;
    quint32 height = 0;
    bool ended = false;
    qsizetype at = kSignatureSize;
    while (!ended) {
        if (bytes.size() - at < 12)
            return std::nullopt;
        const quint32 length = BigEndian32(bytes.constData() + at);
        if (length > static_cast<quint32>(bytes.size() - at - 12))
            return std::nullopt;
        const char* body = bytes.constData() + at + 4;
        const auto bodySize = static_cast<qsizetype>(length) + 4;
        if (Crc32(body, bodySize) != BigEndian32(body + bodySize))
            return std::nullopt;
        const QByteArray type(body, 4);
        const QByteArray data(body + 4, length);
        const bool first = at == kSignatureSize;
        if (first != (type == "IHDR"))
            return std::nullopt;
        if (type == "IHDR") {
            if (length < 8)
                return std::nullopt;
            width = BigEndian32(data.constData());
            height = BigEndian32(data.constData() + 4);
            if (width == 0 || height == 0 || width > kMostEntrySide || height > kMostEntrySide)
                return std::nullopt;
        } else if (type == "tEXt" || type == "zTXt" || type == "iTXt") {
            if (auto text = ParseText(type, data))
                png.text.push_back(std::move(*text));
        } else if (type == "IEND") {
            ended = true;
        }
        at += bodySize + 8;
    }
    png.image = QImage::fromData(bytes, "PNG");
    if (png.image.isNull() || png.image.width() != static_cast<int>(width) ||
        png.image.height() != static_cast<int>(height))
        return std::nullopt;
    return png;
}

QByteArray EncodePngWithText(const QImage& image,
                             const std::vector<std::pair<QByteArray, QByteArray>>& text) {
    QByteArray plain;
    QBuffer buffer(&plain);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    // Signature, then IHDR: 4 bytes length, 4 type, 13 data, 4 CRC.
    constexpr qsizetype kAfterHeader = kSignatureSize + 25;
    if (plain.size() < kAfterHeader || plain.mid(kSignatureSize + 4, 4) != "IHDR")
        return {};
    QByteArray chunks;
    for (const auto& [key, value] : text)
        chunks.append(Chunk("tEXt", key + '\0' + value));
    plain.insert(kAfterHeader, chunks);
    return plain;
}

QSize NormalThumbnailSize(int photoWidth, int photoHeight) {
    if (photoWidth <= ThumbnailCache::kNormalSize && photoHeight <= ThumbnailCache::kNormalSize)
        return {photoWidth, photoHeight};
    int width = photoWidth;
    int height = photoHeight;
    FitSize(width, height, ThumbnailCache::kNormalSize, ThumbnailCache::kNormalSize);
    return {width, height};
}

ThumbnailCache::ThumbnailCache(QString root) : root_(std::move(root)) {}

QString ThumbnailCache::NormalPath(const ThumbnailSource& source) const {
    return root_ + QStringLiteral("/normal/") + Md5Name(source.uri);
}

QString ThumbnailCache::LargePath(const ThumbnailSource& source) const {
    return root_ + QStringLiteral("/large/") + Md5Name(source.uri);
}

QString ThumbnailCache::FailurePath(const ThumbnailSource& source) const {
    return root_ + QStringLiteral("/fail/pelmora/") + Md5Name(source.uri);
}

std::optional<CachedThumbnail> ThumbnailCache::Read(const QString& file,
                                                    const ThumbnailSource& source) const {
    QFile entry(file);
    if (!source.ok || !entry.open(QIODevice::ReadOnly) || entry.size() > kMostEntryBytes)
        return std::nullopt;
    const auto png = ReadPngWithText(entry.readAll());
    if (!png || png->Text("Thumb::URI") != source.uri)
        return std::nullopt;
    bool ok = false;
    if (png->Text("Thumb::MTime").trimmed().toLongLong(&ok) != source.mtime || !ok)
        return std::nullopt;
    const QByteArray size = png->Text("Thumb::Size");
    if (!size.isEmpty() && (size.trimmed().toLongLong(&ok) != source.size || !ok))
        return std::nullopt;
    CachedThumbnail found;
    found.image = png->image;
    const int width = png->Text("Thumb::Image::Width").trimmed().toInt(&ok);
    const bool widthOk = ok && width > 0;
    const int height = png->Text("Thumb::Image::Height").trimmed().toInt(&ok);
    if (widthOk && ok && height > 0) {
        found.photoWidth = width;
        found.photoHeight = height;
    }
    return found;
}

std::optional<CachedThumbnail> ThumbnailCache::Find(const ThumbnailSource& source) const {
    if (auto normal = Read(NormalPath(source), source))
        return normal;
    return Read(LargePath(source), source);
}

bool ThumbnailCache::HasFailure(const ThumbnailSource& source) const {
    return Read(FailurePath(source), source).has_value();
}

Status ThumbnailCache::Write(const QString& folder, const QString& name,
                             const QByteArray& bytes) const {
    if (bytes.isEmpty())
        return Status::Failure(QStringLiteral("the picture could not be encoded"));
    if (!EnsureFolder(folder))
        return Status::Failure(QStringLiteral("cannot make %1: %2")
                                   .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    // Unique among processes and threads; a reader never sees a half file.
    const QString temporary = QStringLiteral("%1/.%2.%3-%4.tmp")
                                  .arg(folder, name)
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(temporaryCounter.fetch_add(1));
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Status::Failure(file.errorString());
    const bool written = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                         file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        QFile::remove(temporary);
        return Status::Failure(reason);
    }
    const QString target = folder + QLatin1Char('/') + name;
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return Status::Failure(reason);
    }
    return {};
}

Status ThumbnailCache::Store(const ThumbnailSource& source, const QImage& picture, int photoWidth,
                             int photoHeight, const QByteArray& mimeType) const {
    if (!source.ok || picture.isNull() || photoWidth <= 0 || photoHeight <= 0)
        return Status::Failure(QStringLiteral("nothing to store"));
    const QSize size = NormalThumbnailSize(photoWidth, photoHeight);
    const QImage fitted =
        picture.size() == size ? picture : ResampleCubic(picture, size.width(), size.height());
    std::vector<std::pair<QByteArray, QByteArray>> keys{
        {"Thumb::URI", source.uri},
        {"Thumb::MTime", QByteArray::number(source.mtime)},
        {"Thumb::Size", QByteArray::number(source.size)}};
    if (!mimeType.isEmpty())
        keys.emplace_back("Thumb::Mimetype", mimeType);
    keys.emplace_back("Thumb::Image::Width", QByteArray::number(photoWidth));
    keys.emplace_back("Thumb::Image::Height", QByteArray::number(photoHeight));
    keys.emplace_back("Software", "Pelmora");
    const QByteArray png = EncodePngWithText(fitted, keys);
    return Write(root_ + QStringLiteral("/normal"), Md5Name(source.uri), png);
}

Status ThumbnailCache::StoreFailure(const ThumbnailSource& source) const {
    if (!source.ok)
        return Status::Failure(QStringLiteral("nothing to store"));
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::transparent);
    const QByteArray png =
        EncodePngWithText(pixel, {{"Thumb::URI", source.uri},
                                  {"Thumb::MTime", QByteArray::number(source.mtime)},
                                  {"Thumb::Size", QByteArray::number(source.size)},
                                  {"Software", "Pelmora"}});
    return Write(root_ + QStringLiteral("/fail/pelmora"), Md5Name(source.uri), png);
}

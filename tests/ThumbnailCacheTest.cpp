#include "images/ImageCollection.h"
#include "images/ImageListFile.h"
#include "images/ImgThumb.h"
#include "images/ThumbnailCache.h"
#include "images/ThumbnailCacheWriter.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace testing_support;

using TextKeys = std::vector<std::pair<QByteArray, QByteArray>>;

quint32 BitwiseCrc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFU;
    for (const char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1U) != 0 ? 0xEDB88320U ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFU;
}

QByteArray BigEndian(quint32 v) {
    QByteArray out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>(v >> shift));
    return out;
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& data) {
    return BigEndian(static_cast<quint32>(data.size())) + type + data +
           BigEndian(BitwiseCrc32(type + data));
}

// A PNG as other programs write it: the texts after the pixels, long ones
// compressed (zTXt), ones beyond Latin-1 as international text (iTXt).
QByteArray ForeignPng(const QImage& image, const TextKeys& keys) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    QByteArray chunks;
    for (const auto& [key, value] : keys) {
        const bool latin1 = std::all_of(value.begin(), value.end(),
                                        [](char c) { return static_cast<quint8>(c) < 0x80; });
        if (!latin1)
            chunks += PngChunk("iTXt", key + QByteArray("\0\0\0\0\0", 5) + value);
        else if (value.size() >= 40)
            chunks += PngChunk("zTXt", key + QByteArray("\0\0", 2) + qCompress(value).mid(4));
        else
            chunks += PngChunk("tEXt", key + '\0' + value);
    }
    bytes.insert(bytes.size() - 12, chunks);  // before IEND
    return bytes;
}

QImage Solid(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

// The bytes from a chunk type on, as they sit in the file.
qsizetype ChunkAt(const QByteArray& png, const QByteArray& typeAndData) {
    return png.indexOf(typeAndData);
}

mode_t Mode(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

QStringList TemporaryLeftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
}

class ThumbnailCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = dir_.path() + "/cache/thumbnails";
        cache_ = std::make_shared<ThumbnailCache>(root_);
    }
    QString Photo(const QString& name, int width = 640, int height = 480) {
        return WritePhoto(dir_.path() + "/photos/" + name, width, height);
    }
    // The standard's keys for the photo as it is now.
    TextKeys KeysFor(const QString& photo) const {
        const ThumbnailSource source = IdentifyThumbnailSource(photo);
        return {{"Thumb::URI", source.uri},
                {"Thumb::MTime", QByteArray::number(source.mtime)},
                {"Thumb::Size", QByteArray::number(source.size)}};
    }
    void PutEntry(const QString& photo, const QByteArray& png, const QString& folder = "normal") {
        const ThumbnailSource source = IdentifyThumbnailSource(photo);
        QDir().mkpath(root_ + "/" + folder);
        WriteBytes(root_ + "/" + folder + "/" + ThumbnailFileName(source.uri), png);
    }
    std::optional<PngWithText> NormalEntry(const QString& photo) const {
        return ReadPngWithText(ReadBytes(cache_->NormalPath(IdentifyThumbnailSource(photo))));
    }
    // A photo whose header reads but whose picture cannot be decoded.
    QString UndecodablePastHeader(const QString& name, int width, int height) {
        const QString path = Photo(name, width, height);
        const QByteArray whole = ReadBytes(path);
        // Without its quantisation tables: the header reads, no decode starts.
        QByteArray kept = whole.left(2);
        qsizetype at = 2;
        while (at + 4 <= whole.size() && static_cast<quint8>(whole[at + 1]) != 0xDA) {
            const int length =
                (static_cast<quint8>(whole[at + 2]) << 8) | static_cast<quint8>(whole[at + 3]);
            if (static_cast<quint8>(whole[at + 1]) != 0xDB)
                kept += whole.mid(at, 2 + length);
            at += 2 + length;
        }
        WriteBytes(path, kept + whole.mid(at));
        EXPECT_EQ(MakeImageRecord(path), nullptr) << "the photo alone must be undecodable";
        return path;
    }

    QTemporaryDir dir_;
    QString root_;
    std::shared_ptr<ThumbnailCache> cache_;
};

TEST(ThumbnailNaming, UriPercentEncodingAndMd5NameFollowTheStandard) {
    // The standard's own example.
    EXPECT_EQ(ThumbnailFileName("file:///home/jens/photos/me.png"),
              "c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(FileUri("/home/a b/x#y?z%;[1].jpg"), "file:///home/a%20b/x%23y%3Fz%25%3B%5B1%5D.jpg");
    // Bytes of the UTF-8 path, upper-case hex; the marks a path may hold stay.
    EXPECT_EQ(FileUri(QString::fromUtf8("/写真/é.jpg")), "file:///%E5%86%99%E7%9C%9F/%C3%A9.jpg");
    EXPECT_EQ(FileUri("/a/-_.!~*'()/:@&=+$,.jpg"), "file:///a/-_.!~*'()/:@&=+$,.jpg");
}

TEST(ThumbnailNaming, CacheRootFromTheEnvironment) {
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("XDG_CACHE_HOME", "/tmp/xdg-cache");
    EXPECT_EQ(DefaultThumbnailCacheRoot(), "/tmp/xdg-cache/thumbnails");
    qputenv("XDG_CACHE_HOME", "relative/cache");  // invalid: ignored
    qputenv("HOME", "/tmp/some-home");
    EXPECT_EQ(DefaultThumbnailCacheRoot(), "/tmp/some-home/.cache/thumbnails");
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(DefaultThumbnailCacheRoot(), "/tmp/some-home/.cache/thumbnails");
    qputenv("XDG_CACHE_HOME", savedCache);
    qputenv("HOME", savedHome);
}

TEST_F(ThumbnailCacheTest, IdentityIsTheCanonicalPathModificationTimeAndSize) {
    const QString photo = Photo("a.jpg");
    QFile::link(photo, dir_.path() + "/link.jpg");
    const ThumbnailSource direct = IdentifyThumbnailSource(photo);
    const ThumbnailSource viaLink = IdentifyThumbnailSource(dir_.path() + "/link.jpg");
    const ThumbnailSource dotted = IdentifyThumbnailSource(dir_.path() + "/photos/../photos/a.jpg");
    ASSERT_TRUE(direct.ok);
    EXPECT_EQ(direct.uri, FileUri(QFileInfo(photo).canonicalFilePath()));
    EXPECT_EQ(viaLink.uri, direct.uri);
    EXPECT_EQ(dotted.uri, direct.uri);
    EXPECT_EQ(direct.size, QFileInfo(photo).size());
    EXPECT_EQ(direct.mtime, QFileInfo(photo).lastModified().toSecsSinceEpoch());
    EXPECT_FALSE(IdentifyThumbnailSource(dir_.path() + "/missing.jpg").ok);
    EXPECT_FALSE(IdentifyThumbnailSource(dir_.path()).ok);
}

TEST(PngText, ReadsEveryTextChunkKindAndRefusesAnyDamage) {
    const QByteArray longUri = "file:///" + QByteArray(120, 'x') + ".jpg";  // zTXt from Qt
    const QByteArray png =
        ForeignPng(Solid(5, 3, Qt::green), {{"Thumb::URI", longUri},
                                            {"Thumb::MTime", "1700000000"},
                                            {"Comment", QString::fromUtf8("写真").toUtf8()}});
    const auto read = ReadPngWithText(png);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Text("Thumb::URI"), longUri);
    EXPECT_EQ(read->Text("Thumb::MTime"), "1700000000");
    EXPECT_EQ(read->Text("Comment"), QString::fromUtf8("写真").toUtf8());
    EXPECT_EQ(read->image.size(), QSize(5, 3));
    EXPECT_EQ(read->Text("Absent"), QByteArray());

    for (qsizetype size = 0; size < png.size(); ++size)
        EXPECT_FALSE(ReadPngWithText(png.left(size)).has_value()) << "cut at " << size;
    for (qsizetype at = 8; at < png.size(); at += 7) {
        QByteArray flipped = png;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
        EXPECT_FALSE(ReadPngWithText(flipped).has_value()) << "byte " << at;
    }
    EXPECT_FALSE(ReadPngWithText("GIF89a").has_value());
}

TEST(PngText, HugeOrEmptyHeaderSidesAreRefusedBeforeDecoding) {
    // Built by hand: a header claiming 60000 x 60000 and one claiming 0 wide.
    for (const auto& [w, h] : {std::pair{60000U, 60000U}, std::pair{0U, 10U}}) {
        QByteArray ihdr;
        for (quint32 v : {w, h}) {
            for (int shift = 24; shift >= 0; shift -= 8)
                ihdr.append(static_cast<char>(v >> shift));
        }
        ihdr.append("\x08\x02\x00\x00\x00", 5);
        QImage tiny = Solid(1, 1, Qt::red);
        QByteArray png = EncodePngWithText(tiny, {});
        // The claimed sides spliced into IHDR, its CRC mended.
        png.replace(16, 13, ihdr);
        png.replace(29, 4, BigEndian(BitwiseCrc32(png.mid(12, 17))));
        EXPECT_FALSE(ReadPngWithText(png).has_value()) << w << " x " << h;
    }
}

TEST(PngText, WrittenKeysAreTextChunksRightAfterTheHeaderByteForByte) {
    const QByteArray png = EncodePngWithText(Solid(4, 2, Qt::blue),
                                             {{"Thumb::URI", "file:///a.jpg"}, {"Software", "P"}});
    // Signature, IHDR (25 bytes), then the chunks in order.
    const QByteArray first = png.mid(33, 4 + 4 + 24 + 4);
    EXPECT_EQ(first.left(8), QByteArray("\x00\x00\x00\x18tEXt", 8));
    EXPECT_EQ(first.mid(8, 24), QByteArray("Thumb::URI\0file:///a.jpg", 24));
    // zlib's CRC-32 as the oracle.
    const CommandResult crc = RunCommand(
        "python3",
        {"-c", "import zlib; print('%08x' % zlib.crc32(b'tEXtThumb::URI\\x00file:///a.jpg'))"});
    ASSERT_EQ(crc.exitCode, 0);
    EXPECT_EQ(first.mid(32, 4), QByteArray::fromHex(crc.out.trimmed()));
    EXPECT_EQ(ChunkAt(png, QByteArray("tEXtSoftware\0P", 14)), 33 + 36 + 4);
    // Any PNG reader sees the keys.
    QImage back;
    ASSERT_TRUE(back.loadFromData(png, "PNG"));
    EXPECT_EQ(back.text("Thumb::URI"), "file:///a.jpg");
    EXPECT_EQ(back.text("Software"), "P");
}

TEST_F(ThumbnailCacheTest, AnEntryIsValidOnlyWhenUriModificationTimeAndSizeMatch) {
    const QString photo = Photo("a.jpg");
    const ThumbnailSource source = IdentifyThumbnailSource(photo);
    const QImage picture = Solid(128, 96, Qt::red);
    const auto with = [&](const QByteArray& key, const QByteArray& value) {
        TextKeys keys = KeysFor(photo);
        for (auto& [k, v] : keys) {
            if (k == key)
                v = value;
        }
        if (value.isNull())
            std::erase_if(keys, [&](const auto& kv) { return kv.first == key; });
        return ForeignPng(picture, keys);
    };
    PutEntry(photo, with("Thumb::URI", source.uri));
    EXPECT_TRUE(cache_->Find(source).has_value());
    PutEntry(photo, with("Thumb::Size", QByteArray()));  // absent size is no test
    EXPECT_TRUE(cache_->Find(source).has_value());
    PutEntry(photo, with("Thumb::MTime", QByteArray::number(source.mtime + 1)));
    EXPECT_FALSE(cache_->Find(source).has_value());
    PutEntry(photo, with("Thumb::MTime", QByteArray()));  // a missing time never matches
    EXPECT_FALSE(cache_->Find(source).has_value());
    PutEntry(photo, with("Thumb::URI", source.uri + "x"));
    EXPECT_FALSE(cache_->Find(source).has_value());
    PutEntry(photo, with("Thumb::Size", QByteArray::number(source.size - 1)));
    EXPECT_FALSE(cache_->Find(source).has_value());

    // The large folder serves when normal has nothing valid.
    PutEntry(photo, ForeignPng(Solid(256, 192, Qt::blue), KeysFor(photo)), "large");
    const auto large = cache_->Find(source);
    ASSERT_TRUE(large.has_value());
    EXPECT_EQ(large->image.size(), QSize(256, 192));
    PutEntry(photo, with("Thumb::URI", source.uri));
    EXPECT_EQ(cache_->Find(source)->image.size(), QSize(128, 96));
}

TEST_F(ThumbnailCacheTest, StoreWritesTheStandardKeysPrivatelyWithoutLeftovers) {
    const QString photo = Photo("a.jpg", 1000, 500);
    const ThumbnailSource source = IdentifyThumbnailSource(photo);
    ASSERT_TRUE(cache_->Store(source, Solid(200, 100, Qt::red), 1000, 500).ok());
    const auto entry = ReadPngWithText(ReadBytes(cache_->NormalPath(source)));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->image.size(), QSize(128, 64));
    EXPECT_EQ(entry->Text("Thumb::URI"), source.uri);
    EXPECT_EQ(entry->Text("Thumb::MTime"), QByteArray::number(source.mtime));
    EXPECT_EQ(entry->Text("Thumb::Size"), QByteArray::number(source.size));
    EXPECT_EQ(entry->Text("Thumb::Mimetype"), "image/jpeg");
    EXPECT_EQ(entry->Text("Thumb::Image::Width"), "1000");
    EXPECT_EQ(entry->Text("Thumb::Image::Height"), "500");
    EXPECT_EQ(entry->Text("Software"), "Pelmora");
    EXPECT_EQ(Mode(cache_->NormalPath(source)), 0600U);
    EXPECT_EQ(Mode(root_), 0700U);
    EXPECT_EQ(Mode(root_ + "/normal"), 0700U);
    EXPECT_TRUE(TemporaryLeftovers(root_ + "/normal").isEmpty());
    EXPECT_TRUE(cache_->Find(source).has_value());

    // A photo smaller than the normal size is kept at its own size.
    const QString small = Photo("small.jpg", 100, 40);
    const ThumbnailSource smallSource = IdentifyThumbnailSource(small);
    ASSERT_TRUE(cache_->Store(smallSource, Solid(100, 40, Qt::red), 100, 40).ok());
    EXPECT_EQ(cache_->Find(smallSource)->image.size(), QSize(100, 40));
    EXPECT_EQ(NormalThumbnailSize(4000, 3000), QSize(128, 96));
    EXPECT_EQ(NormalThumbnailSize(3000, 4000), QSize(96, 128));
    EXPECT_EQ(NormalThumbnailSize(5000, 1), QSize(128, 1));

    ASSERT_TRUE(cache_->StoreFailure(source).ok());
    EXPECT_TRUE(cache_->HasFailure(source));
    EXPECT_EQ(Mode(root_ + "/fail/pelmora"), 0700U);
    EXPECT_EQ(Mode(cache_->FailurePath(source)), 0600U);
}

TEST_F(ThumbnailCacheTest, AnotherProgramsEntryIsUsedAndThePhotoNotDecoded) {
    const QString photo = UndecodablePastHeader("a.jpg", 640, 480);
    PutEntry(photo, ForeignPng(Solid(128, 96, Qt::red), KeysFor(photo)));
    ImageCollection collection;
    collection.SetThumbnailCache(cache_);
    const long decodesBefore = ThumbnailDecodeCount();
    ASSERT_EQ(collection.AddImage(photo), AddOutcome::kAdded);
    EXPECT_EQ(ThumbnailDecodeCount(), decodesBefore);
    const CImgThumb& record = collection.At(0);
    EXPECT_EQ(record.width, 640);  // from the JPEG header
    EXPECT_EQ(record.height, 480);
    ASSERT_TRUE(record.thumbnail);
    EXPECT_EQ(record.thumbnail->Image().size(), QSize(96, 72));
    EXPECT_EQ(record.thumbnail->Image().pixelColor(48, 36), QColor(Qt::red));
}

TEST_F(ThumbnailCacheTest, ThePhotosSizeComesFromTheEntryWhenItHasNoJpegHeader) {
    // Another format under a JPEG name: the entry's keys give the size.
    const QString photo = dir_.path() + "/photos/other.jpg";
    QDir().mkpath(dir_.path() + "/photos");
    WriteBytes(photo, "not a picture at all");
    TextKeys keys = KeysFor(photo);
    keys.emplace_back("Thumb::Image::Width", "300");
    keys.emplace_back("Thumb::Image::Height", "200");
    PutEntry(photo, ForeignPng(Solid(128, 85, Qt::red), keys));
    const ImageRecordResult result = MakeImageRecord(photo, cache_.get());
    ASSERT_TRUE(result.record);
    EXPECT_EQ(result.record->width, 300);
    EXPECT_EQ(result.record->height, 200);
    EXPECT_EQ(result.record->thumbnail->Image().size(), QSize(96, 64));
    EXPECT_FALSE(result.entry.has_value());
}

TEST_F(ThumbnailCacheTest, MismatchedOrDamagedEntriesAreIgnoredAndReplaced) {
    struct Case {
        const char* name;
        std::function<QByteArray(const QString&)> entry;
    };
    const std::vector<Case> cases{
        {"stale time",
         [&](const QString& photo) {
             TextKeys keys = KeysFor(photo);
             keys[1].second = QByteArray::number(keys[1].second.toLongLong() - 60);
             return ForeignPng(Solid(128, 96, Qt::red), keys);
         }},
        {"other uri",
         [&](const QString& photo) {
             TextKeys keys = KeysFor(photo);
             keys[0].second = FileUri(dir_.path() + "/photos/elsewhere.jpg");
             return ForeignPng(Solid(128, 96, Qt::red), keys);
         }},
        {"truncated",
         [&](const QString& photo) {
             const QByteArray whole = ForeignPng(Solid(128, 96, Qt::red), KeysFor(photo));
             return whole.left(whole.size() - 20);
         }},
        {"not a png", [&](const QString&) { return QByteArray(300, 'x'); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString photo = Photo(QString::fromLatin1(c.name) + ".jpg", 640, 480);
        PutEntry(photo, c.entry(photo));
        ImageCollection collection;
        collection.SetThumbnailCache(cache_);
        const long decodesBefore = ThumbnailDecodeCount();
        EXPECT_EQ(collection.AddImage(photo), AddOutcome::kAdded);
        EXPECT_EQ(ThumbnailDecodeCount(), decodesBefore + 1);
        EXPECT_NE(collection.At(0).thumbnail->Image().pixelColor(48, 36), QColor(Qt::red));
        collection.StartThumbnailCacheWrites();
        collection.WaitForThumbnailCacheWrites();
        const auto replaced = NormalEntry(photo);
        ASSERT_TRUE(replaced.has_value());
        EXPECT_EQ(replaced->Text("Software"), "Pelmora");
        EXPECT_EQ(replaced->image.size(), QSize(128, 96));
        EXPECT_TRUE(cache_->Find(IdentifyThumbnailSource(photo)).has_value());
    }
    EXPECT_TRUE(TemporaryLeftovers(root_ + "/normal").isEmpty());
}

TEST_F(ThumbnailCacheTest, AWarmCacheRestartsWithoutDecodingAndKeepsImgDat) {
    QStringList photos;
    for (int i = 0; i < 6; ++i)
        photos.append(Photo(QString("p%1.jpg").arg(i), 400 + 64 * i, 300));
    photos.append(Photo("tiny.jpg", 40, 30));
    const QString list = dir_.path() + "/IMG.DAT";
    std::vector<std::pair<int, int>> coldSizes;
    std::vector<QImage> coldThumbnails;
    {
        ImageCollection cold;
        cold.SetThumbnailCache(cache_);
        EXPECT_EQ(cold.AddImages(photos, 3).added, 7);
        cold.StartThumbnailCacheWrites();
        cold.WaitForThumbnailCacheWrites();
        EXPECT_EQ(cold.CacheWriter()->Written(), 7);
        ASSERT_TRUE(cold.SaveImageList(list).ok());
        for (int i = 0; i < cold.Count(); ++i) {
            coldSizes.emplace_back(cold.At(i).width, cold.At(i).height);
            coldThumbnails.push_back(cold.At(i).thumbnail->Image().copy());
        }
    }
    const QByteArray savedList = ReadBytes(list);
    ImageCollection warm;
    warm.SetThumbnailCache(cache_);
    const long decodesBefore = ThumbnailDecodeCount();
    ASSERT_TRUE(warm.LoadImageList(list, 3));
    EXPECT_EQ(ThumbnailDecodeCount(), decodesBefore);
    ASSERT_EQ(warm.Count(), 7);
    for (int i = 0; i < warm.Count(); ++i) {
        EXPECT_EQ(std::make_pair(warm.At(i).width, warm.At(i).height), coldSizes[i]) << i;
        int w = coldSizes[i].first;
        int h = coldSizes[i].second;
        FitSize(w, h, kThumbnailBox, kThumbnailBox);
        EXPECT_EQ(warm.At(i).thumbnail->Image().size(), QSize(w, h)) << i;
        // Made from the same 128-pixel picture: the list looks the same.
        EXPECT_EQ(warm.At(i).thumbnail->Image(), coldThumbnails[i]) << i;
    }
    ASSERT_TRUE(warm.SaveImageList(list).ok());
    EXPECT_EQ(ReadBytes(list), savedList);
}

TEST_F(ThumbnailCacheTest, AnUndecodableFileGetsOurFailureEntryAndIsNotDecodedAgain) {
    const QString broken = dir_.path() + "/photos/broken.jpg";
    QDir().mkpath(dir_.path() + "/photos");
    WriteBytes(broken, QByteArray("\xFF\xD8\xFF\xE0 garbage", 13));
    {
        ImageCollection first;
        first.SetThumbnailCache(cache_);
        EXPECT_EQ(first.AddImage(broken), AddOutcome::kUndecodable);
        first.StartThumbnailCacheWrites();
        first.WaitForThumbnailCacheWrites();
    }
    const ThumbnailSource source = IdentifyThumbnailSource(broken);
    EXPECT_TRUE(cache_->HasFailure(source));
    EXPECT_FALSE(QFile::exists(cache_->NormalPath(source)));
    ImageCollection second;
    second.SetThumbnailCache(cache_);
    const long decodesBefore = ThumbnailDecodeCount();
    EXPECT_EQ(second.AddImage(broken), AddOutcome::kUndecodable);
    EXPECT_EQ(ThumbnailDecodeCount(), decodesBefore);

    // Mended (a new modification time): the failure no longer holds.
    WritePhoto(broken, 64, 48);
    struct timespec times[2] = {{0, UTIME_OMIT}, {source.mtime + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(broken).constData(), times, 0), 0);
    EXPECT_EQ(second.AddImage(broken), AddOutcome::kAdded);
}

TEST_F(ThumbnailCacheTest, AnEntryOfThePhotoTurnedUprightIsLeftAloneAndThePhotoDecoded) {
    const QString photo = Photo("turned.jpg", 640, 480);
    const QByteArray upright = ForeignPng(Solid(96, 128, Qt::red), KeysFor(photo));
    PutEntry(photo, upright);
    ImageCollection collection;
    collection.SetThumbnailCache(cache_);
    const long decodesBefore = ThumbnailDecodeCount();
    EXPECT_EQ(collection.AddImage(photo), AddOutcome::kAdded);
    EXPECT_EQ(ThumbnailDecodeCount(), decodesBefore + 1);
    EXPECT_EQ(collection.At(0).thumbnail->Image().size(), QSize(96, 72));
    collection.StartThumbnailCacheWrites();
    collection.WaitForThumbnailCacheWrites();
    EXPECT_EQ(ReadBytes(cache_->NormalPath(IdentifyThumbnailSource(photo))), upright);
}

TEST_F(ThumbnailCacheTest, AnUnwritableCacheLeavesAddingPhotosWorking) {
    // Everything the child must read is open to all; the cache is root's own.
    const QString photos = dir_.path() + "/photos";
    const QString a = Photo("a.jpg");
    const QString b = Photo("b.jpg");
    const QString c = Photo("c.jpg");
    PutEntry(c, ForeignPng(Solid(128, 96, Qt::red), KeysFor(c)));
    for (const QString& path : {a, b, c, cache_->NormalPath(IdentifyThumbnailSource(c))})
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    for (const QString& folder : {dir_.path(), photos, dir_.path() + "/cache", root_})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(root_ + "/normal").constData(), 0755), 0);
    const QString closedRoot = dir_.path() + "/closed/thumbnails";
    QDir().mkpath(closedRoot);
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path() + "/closed").constData(), 0700), 0);

    // 1: the cache folder can be read but not written; 2: not even entered.
    const int result = RunInChildAsNobody([&] {
        if (::access(QFile::encodeName(root_ + "/normal").constData(), W_OK) == 0)
            return 10;  // the privileges were not dropped
        int code = 0;
        for (const QString& root : {root_, closedRoot}) {
            ImageCollection collection;
            collection.SetThumbnailCache(std::make_shared<ThumbnailCache>(root));
            if (collection.AddImages({a, b, c}, 2).added != 3)
                return 20 + code;
            collection.StartThumbnailCacheWrites();
            collection.WaitForThumbnailCacheWrites();
            if (!collection.CacheWriter()->ReadOnly() || collection.CacheWriter()->Written() != 0)
                return 30 + code;
            const bool fromEntry =
                collection.At(2).thumbnail->Image().pixelColor(48, 36) == QColor(Qt::red);
            if (fromEntry != (root == root_))
                return 40 + code;
            ++code;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(QFile::exists(cache_->NormalPath(IdentifyThumbnailSource(a))));
}

TEST_F(ThumbnailCacheTest, TwoProcessesWritingTheSameEntryLeaveOneValidPng) {
    const QString photo = Photo("shared.jpg", 2000, 1500);
    const ThumbnailSource source = IdentifyThumbnailSource(photo);
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const ThumbnailCache cache(root_);
            const QColor colour = child == 0 ? QColor(Qt::red) : QColor(Qt::blue);
            int failures = 0;
            for (int i = 0; i < 150; ++i)
                failures += cache.Store(source, Solid(400, 300, colour), 2000, 1500).ok() ? 0 : 1;
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto entry = ReadPngWithText(ReadBytes(cache_->NormalPath(source)));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->image.size(), QSize(128, 96));
    const QColor colour = entry->image.pixelColor(64, 48);
    EXPECT_TRUE(colour == QColor(Qt::red) || colour == QColor(Qt::blue));
    EXPECT_TRUE(cache_->Find(source).has_value());
    EXPECT_EQ(QDir(root_ + "/normal").entryList(QDir::Files | QDir::Hidden),
              QStringList{ThumbnailFileName(source.uri)});
}

}  // namespace

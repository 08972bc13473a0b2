#include "engine/OtherPictures.h"

#include <atomic>

namespace {

// Set at start and read by the crops' worker threads.
std::atomic<RgbPicture (*)(const QString&, QString*)> g_read{nullptr};
std::atomic<QSize (*)(const QString&)> g_size{nullptr};

}  // namespace

void SetOtherPictureReader(OtherPictureReader reader) {
    g_read.store(reader.read);
    g_size.store(reader.size);
}

RgbPicture ReadOtherPicture(const QString& path, QString* error) {
    if (const auto read = g_read.load())
        return read(path, error);
    if (error != nullptr)
        *error = QStringLiteral("cannot read pictures other than JPEG");
    return {};
}

QSize OtherPictureSize(const QString& path) {
    const auto size = g_size.load();
    return size != nullptr ? size(path) : QSize();
}

#include "app/PreviewLoader.h"

#include "engine/JpegInfo.h"

PreviewLoader::PreviewLoader(QObject* parent) : QObject(parent) {
    connect(&watcher_, &QFutureWatcher<void>::finished, this, &PreviewLoader::Ended);
}

PreviewLoader::~PreviewLoader() {
    decode_.reset();
}

void PreviewLoader::Reset() {
    ++generation_;
    bitmap_.reset();
    requested_ = false;
    settled_ = false;
}

void PreviewLoader::Refresh() {
    ++generation_;
    requested_ = false;
}

void PreviewLoader::Request(const QString& path, QSize box) {
    if (requested_)
        return;
    requested_ = true;
    path_ = path;
    box_ = box;
    if (!decode_)
        Start();  // otherwise the end of the one under way starts it
}

void PreviewLoader::Start() {
    runningGeneration_ = generation_;
    auto result = std::make_shared<Decoded>();
    result_ = result;
    decode_ = std::make_unique<WorkerGroup>(1, [result, path = path_, box = box_] {
        auto bitmap = std::make_shared<CImg>();
        int fitWidth = box.width();
        int fitHeight = box.height();
        if (bitmap->Load(path, fitWidth, fitHeight) == 0)
            bitmap.reset();
        const JpegInfo info = ReadJpegInfo(path);
        result->grid = info.ok ? QSize(info.imcuWidth, info.imcuHeight) : QSize();
        result->bitmap = std::move(bitmap);
    });
    watcher_.setFuture(decode_->Finished());
}

void PreviewLoader::Ended() {
    decode_.reset();
    const std::shared_ptr<Decoded> result = std::move(result_);
    if (runningGeneration_ != generation_) {
        if (requested_)
            Start();
        return;
    }
    bitmap_ = result->bitmap;
    grid_ = result->grid;
    settled_ = true;
    Q_EMIT Changed();
}

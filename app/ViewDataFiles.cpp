#include "app/ViewDataFiles.h"

#include "app/CropRectList.h"
#include "croprects/RectFile.h"
#include "images/ImageCollectionUi.h"
#include "platform/Logging.h"
#include "platform/MessageBoxes.h"
#include "platform/ResourceIds.h"
#include "platform/StringTable.h"

#include <QFile>

#include <algorithm>
#include <climits>

ViewDataFiles::ViewDataFiles(const QString& dataFolder)
    : imageFile_(dataFolder + ImageFileName()), rectFile_(dataFolder + RectFileName()) {}

void ViewDataFiles::Load(QWidget* parent, ImageCollection& images, CropRectList& rects,
                         const ProgressFactory& progress, CImgList* list) {
    LoadImageListWithProgress(parent, images, imageFile_, progress, list);
    LoadRects(parent, rects, progress);
}

void ViewDataFiles::LoadRects(QWidget* parent, CropRectList& rects,
                              const ProgressFactory& progress) const {
    const RectFileContents file = ReadRectFile(rectFile_);
    if (!file.status.ok())
        return;
    const qint64 bytes = QFile(rectFile_).size();
    const std::unique_ptr<ProgressSink> window =
        progress ? progress(parent, static_cast<int>(std::min<qint64>(bytes, INT_MAX))) : nullptr;
    int done = 0;
    for (const CCropRect& rect : file.rects) {
        rects.Add(rect);
        done += kRectRecordSize;
        if (window && window->Step(done) == 0)
            break;
    }
}

void ViewDataFiles::Save(QWidget* owner, const ImageCollection& images, const CropRectList& rects) {
    if (saved_)
        return;
    saved_ = true;
    SaveImageListOrWarn(owner, images, imageFile_);
    const Status written = WriteRectFile(rectFile_, rects.Rects());
    if (!written.ok()) {
        qCWarning(lcApp).noquote() << "RECT.DAT not saved:" << rectFile_ << written.errorString();
        ShowNotice(owner, LangString(text::kRectFileNotSaved).arg(rectFile_));
    }
}

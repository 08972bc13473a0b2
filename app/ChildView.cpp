#include "app/ChildView.h"

#include "app/PictureButton.h"
#include "croprects/CropRectDlg.h"
#include "croprects/CropRectListBox.h"
#include "croprects/RectFile.h"
#include "engine/ProgressDlg.h"
#include "images/HelpWnd.h"
#include "images/ImageCollectionUi.h"
#include "images/ImgList.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/ResourceIds.h"
#include "platform/StringTable.h"
#include "platform/WebPage.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace {

// The preview: drawn by the view, transparent for the mouse, so the view
// sees every press and move over it.
class PreviewPane : public QWidget {
  public:
    PreviewPane(CChildView* view) : QWidget(view), view_(view) {
        setObjectName(ControlName(control::kView));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        view_->DrawPreview(painter);
    }

  private:
    CChildView* view_;
};

QImage LoadResourcePicture(int number) {
    CImg picture;
    if (picture.LoadFromResource(PictureResource(number)) == 0)
        return {};
    return picture.Image();
}

// The Japanese or the English picture by the language rule.
QImage LangPicture(LangIds pictures) {
    return LoadResourcePicture(ByLanguage(pictures));
}

}  // namespace

CChildView::CChildView(ViewEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment)), dataFiles_(env_.dataFolder), batch_(this) {
    setAcceptDrops(true);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    editRect_ = [this](CCropRect& rect) { return RunCropRectDlg(rect); };
    LoadSheets();
    CreateChildren();
    connect(&images_, &ImageCollection::CurrentIndexChanged, this, [this] { ResetPreview(); });
    connect(&previewLoader_, &PreviewLoader::Changed, this, [this] {
        preview_->update();
        Q_EMIT PreviewChanged();
    });
    connect(&images_, &ImageCollection::CountChanged, this, [this] {
        UpdateHints();
        update();
    });
    rects_.ShowIn(rectList_);
    connect(&rects_, &CropRectList::Changed, this, [this] {
        UpdateHints();
        preview_->update();
    });
    LayOut();
    PlaceHints();
}

CChildView::~CChildView() {
    SaveDataFiles();
    delete imagesHint_.data();
    delete rectanglesHint_.data();
}

void CChildView::LoadSheets() {
    rectButtons_ = LangPicture(picture::kRectButtons);
    cropButtons_ = LangPicture(picture::kCropButtons);
    removeButtons_ = LangPicture(picture::kRemoveButtons);
    stepButtons_ = LoadResourcePicture(picture::kStepButtons);
    captionIcons_ = LoadResourcePicture(picture::kCaptionIcons);
    captionActive_ = LoadResourcePicture(picture::kCaptionActive);
    captionInactive_ = LoadResourcePicture(picture::kCaptionInactive);
    cornerPicture_ = LoadResourcePicture(picture::kCorner);
    sheets_.rectangleButtons = rectButtons_.size();
    sheets_.cropButtons = cropButtons_.size();
    sheets_.removeButtons = removeButtons_.size();
    sheets_.stepButtons = stepButtons_.size();
}

CPictureButton* CChildView::MakeButton(int command, const QImage& sheet, int column, int columns) {
    const int w = sheet.width() / columns;
    auto* button = new CPictureButton(command, sheet, QRect(column * w, 0, w, sheet.height() / 2),
                                      false, this);
    connect(button, &QAbstractButton::clicked, this, [this, command] { OnCommand(command); });
    buttons_[command] = button;
    return button;
}

// Cells of the caption sheet are 17 x 17 and counted from 0 at the left.
CPictureButton* CChildView::MakeCaptionButton(int command, int cell) {
    auto* button =
        new CPictureButton(command, captionIcons_, QRect(cell * 17, 0, 17, 17), true, this);
    connect(button, &QAbstractButton::clicked, this, [this, command] { OnCommand(command); });
    buttons_[command] = button;
    return button;
}

void CChildView::CreateChildren() {
    MakeCaptionButton(kCmdHomePage, 1);
    MakeCaptionButton(kCmdHelpPage, 3);
    MakeCaptionButton(kCmdMinimise, 4);
    MakeCaptionButton(kCmdClose, 5);
    MakeButton(kCmdCropSelected, cropButtons_, 0, 2);
    MakeButton(kCmdCropAll, cropButtons_, 1, 2);

    imageList_ = new CImgList(this);
    imageList_->setObjectName(ControlName(control::kImageList));
    imageList_->SetCollection(&images_);
    connect(imageList_, &CImgList::ImageClicked, this, &CChildView::OnImageClicked);
    connect(imageList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { update(); });
    imagesHint_ = new CHelpWnd(ByLanguage(text::kImagesHint), this);
    imagesHint_->SetTakesDrops(true);
    connect(imagesHint_, &CHelpWnd::UrlsDropped, this, &CChildView::AddDroppedUrls);

    MakeButton(kCmdRemoveSelected, removeButtons_, 0, 2);
    MakeButton(kCmdRemoveAll, removeButtons_, 1, 2);

    rectList_ = new CCropRectListBox(this);
    rectList_->setObjectName(ControlName(control::kRectList));
    rectanglesHint_ = new CHelpWnd(ByLanguage(text::kRectanglesHint), this);
    rectanglesHint_->SetTakesDrops(true);
    connect(rectanglesHint_, &CHelpWnd::UrlsDropped, this, &CChildView::AddDroppedUrls);

    // The sheet's columns: edit, add, delete (a fourth is not used).
    MakeButton(kCmdAddRect, rectButtons_, 1, 4);
    MakeButton(kCmdEditRect, rectButtons_, 0, 4);
    MakeButton(kCmdDeleteRect, rectButtons_, 2, 4);

    preview_ = new PreviewPane(this);

    MakeButton(kCmdPrevious, stepButtons_, 0, 2);
    MakeButton(kCmdNext, stepButtons_, 1, 2);
}

CPictureButton* CChildView::Button(int command) const {
    const auto found = buttons_.find(command);
    return found == buttons_.end() ? nullptr : found->second;
}

void CChildView::LayOut() {
    layout_ = ComputeViewLayout(width(), height(), sheets_);
    imageList_->setGeometry(layout_.imageList);
    rectList_->setGeometry(layout_.rectangleList);
    preview_->setGeometry(layout_.preview);
    // The step buttons' corner is not part of the preview.
    QRegion region(0, 0, layout_.preview.width(), layout_.preview.height());
    region -= layout_.previewCorner.translated(-layout_.preview.topLeft());
    preview_->setMask(region);
    const std::pair<int, QRect> places[] = {
        {kCmdRemoveSelected, layout_.removeSelected},
        {kCmdRemoveAll, layout_.removeAll},
        {kCmdAddRect, layout_.add},
        {kCmdEditRect, layout_.edit},
        {kCmdDeleteRect, layout_.remove},
        {kCmdPrevious, layout_.previous},
        {kCmdNext, layout_.next},
        {kCmdCropSelected, layout_.cropSelected},
        {kCmdCropAll, layout_.cropAll},
        {kCmdClose, layout_.close},
        {kCmdMinimise, layout_.minimise},
        {kCmdHelpPage, layout_.help},
        {kCmdHomePage, layout_.home},
    };
    for (const auto& [command, place] : places)
        buttons_.at(command)->setGeometry(place);
}

void CChildView::PlaceHints() {
    const auto place = [this](CHelpWnd* hint, const QRect& area) {
        if (hint != nullptr)
            hint->setGeometry(QRect(mapToGlobal(area.topLeft()), area.size()));
    };
    place(imagesHint_, layout_.imagesHint);
    place(rectanglesHint_, layout_.rectanglesHint);
}

void CChildView::UpdateHints() {
    // Hints stand over a window that the user sees; a hidden view shows
    // none, and neither does one whose data files are not read yet (the
    // window is still transparent, or a list may be about to fill).
    const bool shown = loaded_ && isVisible();
    if (imagesHint_ != nullptr)
        imagesHint_->setVisible(shown && images_.Count() == 0);
    if (rectanglesHint_ != nullptr)
        rectanglesHint_->setVisible(shown && rects_.IsEmpty());
}

void CChildView::AfterCreate() {
    if (loaded_)
        return;
    dataFiles_.Load(this, images_, rects_, ProgressWindowFactory<CProgressDlg>(), imageList_);
    ResetPreview();
    update();
    if (env_.settings != nullptr && env_.settings->notFirst == 0)
        env_.settings->notFirst = 1;
    loaded_ = true;
    PlaceHints();
    UpdateHints();
    Q_EMIT Loaded();
}

void CChildView::SaveDataFiles() {
    dataFiles_.Save(isVisible() ? this : nullptr, images_, rects_);
}

void CChildView::ResetPreview() {
    previewLoader_.Reset();
    preview_->update();
}

// A new decode for the preview's new size; the old picture stays until it
// arrives.
void CChildView::RefreshPreview() {
    previewLoader_.Refresh();
    preview_->update();
}

void CChildView::OnCommand(int command) {
    switch (command) {
        case kCmdCropSelected:
            batch_.OnCropSelected(MakeBatchInput());
            break;
        case kCmdCropAll:
            batch_.OnCropAll(MakeBatchInput());
            break;
        case kCmdRemoveSelected:
        case kCmdRemoveAll:
            OnRemoveImages(command == kCmdRemoveAll);
            break;
        case kCmdAddRect:
            OnAddCropRect();
            break;
        case kCmdEditRect:
            OnEditCropRect();
            break;
        case kCmdDeleteRect:
            OnDeleteCropRect();
            break;
        case kCmdPrevious:
        case kCmdNext:
            if (!RefuseWithoutImages())
                OnStep(command == kCmdNext);
            break;
        case kCmdHomePage:
        case kCmdHelpPage:
            OpenPage(command == kCmdHomePage);
            break;
        case kCmdMinimise:
            window()->showMinimized();
            break;
        case kCmdClose:
            QMetaObject::invokeMethod(window(), &QWidget::close, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

bool CChildView::RefuseWithoutImages() {
    if (images_.Count() > 0)
        return false;
    ShowNotice(this, LangString(text::kNoImages));
    return true;
}

bool CChildView::RefuseWithoutSelectedRect() {
    if (RefuseWithoutImages())
        return true;
    if (rects_.IsEmpty()) {
        ShowNotice(this, LangString(text::kNoCropRects));
        return true;
    }
    if (rectList_->SelectedRow() < 0) {
        ShowNotice(this, LangString(text::kNoCropRectSelected));
        return true;
    }
    return false;
}

void CChildView::OnRemoveImages(bool all) {
    if (RefuseWithoutImages())
        return;
    const std::vector<int> selected = imageList_->SelectedRows();
    if (!all && selected.empty()) {
        ShowNotice(this, LangString(text::kNoImageSelected));
        return;
    }
    if (!AskQuestion(this, LangString(text::kConfirmRemoveImages)))
        return;
    if (all) {
        images_.RemoveAll();
    } else {
        images_.RemoveImages(selected);
    }
    ResetPreview();
    update();
}

void CChildView::OnAddCropRect() {
    if (RefuseWithoutImages())
        return;
    if (images_.CurrentIndex() < 0) {
        ShowNotice(this, LangString(text::kNoImages));
        return;
    }
    CCropRect rect;
    if (!editRect_(rect))
        return;
    // The dialog's step buttons may have moved to another image.
    const int current = images_.CurrentIndex();
    if (current < 0)
        return;
    const CImgThumb& image = images_.At(current);
    if (rect.Resolve(image.width, image.height).IsEmpty())
        return;
    AddCropRect(rect);
}

void CChildView::OnEditCropRect() {
    if (RefuseWithoutSelectedRect())
        return;
    const int index = rectList_->SelectedRow();
    if (images_.CurrentIndex() < 0)
        return;
    CCropRect rect = rects_.At(index);
    if (!editRect_(rect))
        return;
    RemoveCropRect(index);
    InsertCropRect(rect, index);
    rectList_->SelectRow(index);
}

void CChildView::OnDeleteCropRect() {
    if (RefuseWithoutSelectedRect())
        return;
    const int index = rectList_->SelectedRow();
    if (!AskQuestion(this, LangString(text::kConfirmDeleteRect)))
        return;
    RemoveCropRect(index);
}

void CChildView::OnStep(bool forward) {
    const int next =
        StepImage(images_.CurrentIndex(), images_.Count(), imageList_->SelectedRows(), forward);
    if (next < 0)
        return;
    images_.SetCurrentIndex(next);
    ResetPreview();
    update();
}

// Without a browser the user is told where the page is, rather than left
// pressing a button that does nothing.
void CChildView::OpenPage(bool home) {
    const QUrl url(WebPageAddress(home ? WebPage::kHome : WebPage::kHelp, IsJapaneseLanguage()));
    const QPointer<CChildView> view(this);
    const std::function<void()> failed = [view, url] {
        if (view != nullptr)
            ShowNotice(view, LangString(text::kNoBrowser).arg(url.toString()));
    };
    if (openPage_) {
        openPage_(url, failed);
    } else {
        OpenWebPage(url, this, failed);
    }
}

void CChildView::OnImageClicked(int row) {
    if (row < 0 || row >= images_.Count())
        return;
    if (imageList_->IsSelected(row) || imageList_->SelectedCount() == 0) {
        images_.SetCurrentIndex(row);
        ResetPreview();
    } else {
        OnStep(false);
    }
    update();
}

bool CChildView::RunCropRectDlg(CCropRect& rect) {
    AppSettings unsaved;
    AppSettings& settings = env_.settings != nullptr ? *env_.settings : unsaved;
    CCropRectDlg dialog(
        CCropRectDlg::LanguageTemplate(), [this] { return CurrentImagePath(); },
        {!settings.recompress, settings.jpegQuality}, this);
    dialog.Rect() = rect;
    connect(&dialog, &CCropRectDlg::StepRequested, this,
            [this](bool forward) { OnCommand(forward ? kCmdNext : kCmdPrevious); });
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The quality dialog keeps its choice even when this one is cancelled.
    settings.jpegQuality = dialog.Choice().quality;
    if (accepted)
        settings.recompress = !dialog.Choice().lossless;
    // The mode may have changed: the preview shows what a lossless crop writes.
    preview_->update();
    if (!accepted)
        return false;
    rect = dialog.Rect();
    return true;
}

// The crop settings dialog shows the current image, also after a step.
QString CChildView::CurrentImagePath() const {
    const int current = images_.CurrentIndex();
    return current >= 0 ? images_.At(current).path : QString();
}

BatchRunInput CChildView::MakeBatchInput() const {
    BatchRunInput input;
    input.images.reserve(static_cast<std::size_t>(images_.Count()));
    for (int i = 0; i < images_.Count(); ++i) {
        const CImgThumb& image = images_.At(i);
        BatchImage entry;
        entry.path = image.path;
        entry.width = image.width;
        entry.height = image.height;
        input.images.push_back(entry);
    }
    input.selected = imageList_->SelectedRows();
    input.rects = rects_.Rects();
    input.settings = CropSettingsFrom(env_.settings != nullptr ? *env_.settings : AppSettings{});
    return input;
}

void CChildView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CChildView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CChildView::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    AddDroppedUrls(event->mimeData()->urls());
}

void CChildView::AddDroppedUrls(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile());
    }
    if (paths.isEmpty())
        return;
    // Added after the drop has been answered, so the window that dragged the
    // files is not kept waiting while the thumbnails are made.
    QMetaObject::invokeMethod(
        this,
        [this, paths] {
            AddDroppedPaths(this, images_, paths, ProgressWindowFactory<CProgressDlg>(),
                            imageList_);
            update();
        },
        Qt::QueuedConnection);
}

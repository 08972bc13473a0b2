#pragma once

// The window the user works in: the caption, the two lists, the picture
// buttons, the status line and the preview with every crop rectangle over
// it. It runs every command over parts that know nothing of it: the image
// collection (ImageCollection), the rectangles (CropRectList), the
// preview's decode (PreviewLoader), the data files (ViewDataFiles) and the
// batch (CBatchCropRun).

#include "app/AppSettings.h"
#include "app/BatchCropRun.h"
#include "app/CropRectList.h"
#include "app/PreviewLoader.h"
#include "app/ViewDataFiles.h"
#include "app/ViewLayout.h"
#include "croprects/CropRect.h"
#include "engine/Img.h"
#include "images/ImageCollection.h"
#include "platform/ResourceIds.h"

#include <QImage>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class CCropRectListBox;
#include "images/HelpWnd.h"
class CImgList;
class CImgThumb;
class CPictureButton;

// What the view reads from the program around it.
struct ViewEnvironment {
    AppSettings* settings = nullptr;  // edited by the crop settings dialog
    bool* appActive = nullptr;        // kept by the main window, picks the caption's look
    quint32 versionMS = 0;            // the program file's version
    quint32 versionLS = 0;
    QString dataFolder;  // holds IMG.DAT and RECT.DAT; ends with a separator
};

class CChildView : public QWidget {
    Q_OBJECT
  public:
    CChildView(ViewEnvironment environment, QWidget* parent = nullptr);
    ~CChildView() override;

    // Runs a command as its button does.
    void OnCommand(int command);

    // Writes IMG.DAT and RECT.DAT, once; a file that cannot be written is
    // named in a notice and its old content stays.
    void SaveDataFiles();

    // Places the hint windows over their areas; the main window calls it
    // when it moves.
    void PlaceHints();

    // The step after creation: reads IMG.DAT and RECT.DAT under progress
    // windows, marks the first start done and shows the hints the lists
    // need. The main window runs it once its start-up logo has ended, so
    // nothing of the view shows over a window still transparent. Runs once.
    void AfterCreate();
    bool IsLoaded() const { return loaded_; }

    // The rectangles and their list box, changed together.
    void AddCropRect(const CCropRect& rect) { rects_.Add(rect); }
    void InsertCropRect(const CCropRect& rect, int index) { rects_.Insert(rect, index); }
    void RemoveCropRect(int index) { rects_.Remove(index); }

    // Runs the crop settings dialog on `rect`; true for OK. The view's own
    // runs the dialog; tests put a stand-in here.
    using RectEditor = std::function<bool(CCropRect& rect)>;
    void SetRectEditor(RectEditor editor) { editRect_ = std::move(editor); }
    // Opens a web page, calling `failed` when no browser could be started;
    // empty (the default) is the desktop's browser.
    using PageOpener = std::function<void(const QUrl& url, const std::function<void()>& failed)>;
    void SetPageOpener(PageOpener opener) { openPage_ = std::move(opener); }

    ImageCollection& Images() { return images_; }
    const std::vector<CCropRect>& CropRects() const { return rects_.Rects(); }
    CImgList* ImageList() const { return imageList_; }
    CCropRectListBox* RectList() const { return rectList_; }
    CHelpWnd* ImagesHint() const { return imagesHint_; }
    CHelpWnd* RectanglesHint() const { return rectanglesHint_; }
    QWidget* Preview() const { return preview_; }
    CPictureButton* Button(int command) const;
    CBatchCropRun& BatchRun() { return batch_; }
    const ViewLayout& Layout() const { return layout_; }
    // The preview's picture and whether its decode has ended.
    const PreviewLoader& PreviewImage() const { return previewLoader_; }
    // Where the picture stands in the preview; empty without one.
    QRect PreviewPicture() const;

    static QString ImageFileName() { return ViewDataFiles::ImageFileName(); }
    static QString RectFileName() { return ViewDataFiles::RectFileName(); }

    // Draws the preview into `painter` (preview coordinates).
    void DrawPreview(QPainter& painter);

  Q_SIGNALS:
    // The after-create step ended: both data files are loaded.
    void Loaded();
    // The preview's decode ended, with a picture or without.
    void PreviewChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void LoadSheets();
    void CreateChildren();
    CPictureButton* MakeButton(int command, const QImage& sheet, int column, int columns);
    CPictureButton* MakeCaptionButton(int command, int cell);
    void LayOut();
    void UpdateHints();
    void ResetPreview();
    void DrawRectangles(QPainter& painter, const CImgThumb& image, const QRect& drawn);
    QRect DrawPlaceholder(QPainter& painter, const CImgThumb& image);
    void RefreshPreview();

    bool RefuseWithoutImages();
    bool RefuseWithoutSelectedRect();
    void OnRemoveImages(bool all);
    void OnAddCropRect();
    void OnEditCropRect();
    void OnDeleteCropRect();
    void OnStep(bool forward);
    void OnImageClicked(int row);
    void OpenPage(bool home);
    // Files dropped on the window or on a hint card; added once the drop
    // has been answered.
    void AddDroppedUrls(const QList<QUrl>& urls);
    bool RunCropRectDlg(CCropRect& rect);
    BatchRunInput MakeBatchInput() const;
    QString CurrentImagePath() const;

    void PaintCaption(QPainter& painter);
    void PaintStatus(QPainter& painter);
    int PreviewRectangleUnder(QPoint viewPoint) const;
    void EndDrag();

    ViewEnvironment env_;
    ViewDataFiles dataFiles_;
    ImageCollection images_;
    CropRectList rects_;
    PreviewLoader previewLoader_;

    QImage rectButtons_, cropButtons_, removeButtons_, stepButtons_, captionIcons_;
    QImage captionActive_, captionInactive_, cornerPicture_;
    SheetSizes sheets_;
    ViewLayout layout_;

    CImgList* imageList_ = nullptr;
    CCropRectListBox* rectList_ = nullptr;
    QPointer<CHelpWnd> imagesHint_;
    QPointer<CHelpWnd> rectanglesHint_;
    QWidget* preview_ = nullptr;
    std::map<int, CPictureButton*> buttons_;

    CBatchCropRun batch_;
    RectEditor editRect_;
    PageOpener openPage_;
    bool loaded_ = false;  // the after-create step has run

    enum class Drag { kNone, kResize, kMove };
    Drag drag_ = Drag::kNone;
    int dragHit_ = 0;
    QPoint dragStartPointer_;
    QRect dragStartFrame_;
};

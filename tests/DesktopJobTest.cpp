// The whole job as a new user does it, on a real X server, in English and in
// Japanese: the first start with its agreement, files and a folder dragged
// from another program onto the card that asks for them, a rectangle drawn
// in the crop settings dialog by dragging its corner, Crop all, a folder
// typed into the chooser, the completion message answered, and the crops in
// that folder under the names and in the sizes the rules give. Only the
// mouse and the keyboard of the X server drive the programs.

#include "XSession.h"

#include "app/ViewLayout.h"
#include "croprects/CropCanvasGeometry.h"
#include "croprects/RectFile.h"
#include "engine/JpegInfo.h"
#include "images/ImageListFile.h"
#include "platform/DialogUnits.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace xsession;
using testing_support::WriteBytes;

const QString kHelper = QStringLiteral(PELMORA_TEST_DESKTOP);
const QString kSourceTitle = QStringLiteral("pelmora test file source");

struct Language {
    const char* name;  // for the test's name
    QString lang;
    QString agreementTitle;
    QString programTitle;
    QString cropDialogTitle;
    int cropSheetWidth;  // the crop buttons' sheet is wider in Japanese
};

const Language kLanguages[] = {
    {"English", QStringLiteral("en_US.UTF-8"), QStringLiteral("End user license agreement"),
     QStringLiteral("Quorvane Framewright"), QStringLiteral("Crop Settings"), 320},
    {"Japanese", QStringLiteral("ja_JP.UTF-8"), QStringLiteral("ソフトウェア使用契約"),
     QStringLiteral("ペルモラ"), QStringLiteral("切り抜く長方形の設定"), 400},
};

constexpr QSize kHintSize{150, 80};
constexpr QSize kLogoSize{380, 50};

// The rectangle the test draws: the corner of the fresh 256 x 256 square
// dragged to (400, 320), on the 8-pixel grid of lossless mode.
constexpr int kDrawnRight = 400;
constexpr int kDrawnBottom = 320;

class DesktopJobTest : public ProgramsOnX, public ::testing::WithParamInterface<Language> {
  protected:
    DesktopJobTest() { lang_ = GetParam().lang; }

    QString Photos() const { return home_.path() + QStringLiteral("/photos"); }

    QString Photo(const QString& relative, int width, int height) {
        return testing_support::WritePhoto(Photos() + u'/' + relative, width, height);
    }

    SheetSizes Sheets() const {
        SheetSizes sheets;
        sheets.cropButtons.setWidth(GetParam().cropSheetWidth);
        return sheets;
    }

    ViewLayout LayoutOf(const QRect& window) const {
        return ComputeViewLayout(window.width(), window.height(), Sheets());
    }

    // Presses the left button at `from`, moves in steps to `to` and lets go
    // there. `before_release` may wait for the target's answer.
    bool DragWithMouse(QPoint from, QPoint to, const std::function<void()>& beforeRelease = {}) {
        if (!MoveTo(from) || !Xdo({"mousedown", "1"}).ok)
            return false;
        constexpr int kSteps = 8;
        for (int i = 1; i <= kSteps; ++i) {
            if (!MoveTo(from + (to - from) * i / kSteps))
                return false;
        }
        if (beforeRelease)
            beforeRelease();
        return MoveTo(to) && Xdo({"mouseup", "1"}).ok;
    }

    bool MoveTo(QPoint at) const {
        return Xdo({"mousemove", QString::number(at.x()), QString::number(at.y())}).ok;
    }

    // The card of `owner` standing at `place` (screen coordinates); empty
    // when it is not shown.
    QString CardAt(qint64 owner, const QRect& place) const {
        for (const XWindow& window : WindowsOf(owner)) {
            if (window.geometry == place)
                return window.id;
        }
        return {};
    }

    // Windows of the program besides the main window and the logo: cards,
    // progress windows, dialogs.
    std::vector<XWindow> OthersOf(qint64 owner, const QString& main) const {
        std::vector<XWindow> others;
        for (const XWindow& window : WindowsOf(owner)) {
            if (window.id != main && window.geometry.size() != kLogoSize)
                others.push_back(window);
        }
        return others;
    }

    // Whether `area` of the screen shows a picture: many colours, where an
    // unpainted frame shows one or two.
    bool ShowsPicture(const QRect& area) const {
        const QString file = home_.path() + QStringLiteral("/screen.png");
        if (!RunTool(kHelper, {"shot", file}, environment_).ok)
            return false;
        const QImage screen(file);
        QSet<QRgb> colours;
        for (int y = area.top(); y <= area.bottom(); y += 3) {
            for (int x = area.left(); x <= area.right(); x += 3) {
                if (screen.valid(x, y))
                    colours.insert(screen.pixel(x, y));
            }
        }
        return colours.size() >= 16;
    }

    // With PELMORA_TEST_SHOTS naming a folder, the screen at this step is
    // saved there as NAME-LANGUAGE.png, to look at.
    void Shot(const QString& name) const {
        const QString folder = qEnvironmentVariable("PELMORA_TEST_SHOTS");
        if (folder.isEmpty())
            return;
        const QString file =
            QStringLiteral("%1/%2-%3.png").arg(folder, name, QString::fromLatin1(GetParam().name));
        RunTool(kHelper, {"shot", file}, environment_);
    }

    QString Describe(const std::vector<XWindow>& windows) const {
        QStringList text;
        for (const XWindow& window : windows) {
            const QRect g = window.geometry;
            text << QStringLiteral("%1 %2x%3+%4+%5 %6")
                        .arg(window.id)
                        .arg(g.width())
                        .arg(g.height())
                        .arg(g.x())
                        .arg(g.y())
                        .arg(Kind(window.id));
        }
        return text.join(QStringLiteral("; "));
    }

    // Drags `paths` from a window of another program onto `target`; true
    // when the window there took the drop.
    ::testing::AssertionResult DropFiles(const QStringList& paths, QPoint target) {
        // Kept until the test ends: the target fetches the data after the drop.
        sources_.push_back(std::make_unique<QProcess>());
        QProcess& source = *sources_.back();
        source.setProcessEnvironment(environment_);
        source.start(kHelper, QStringList{"drag", kSourceTitle} + paths);
        if (!source.waitForStarted(kToolMs))
            return ::testing::AssertionFailure() << "the drag source did not start";
        const QString window = AwaitWindow(kSourceTitle, source.processId());
        if (window.isEmpty())
            return ::testing::AssertionFailure() << "the drag source shows no window";
        QByteArray said;
        // The window passed on the way may have offered a copy too: what
        // counts is the last answer, the one of the window under the pointer.
        const auto offered = [&] {
            source.waitForReadyRead(0);
            said += source.readAllStandardOutput();
            const qsizetype last = said.lastIndexOf("action ");
            return last >= 0 && said.mid(last).startsWith("action copy");
        };
        // Waits for the window under the pointer to answer (the protocol
        // goes through the X server), nudging the pointer meanwhile.
        const auto awaitAnswer = [&] {
            int nudge = 1;
            PollUntil(
                [&] {
                    nudge = -nudge;
                    MoveTo(target + QPoint(nudge, 0));
                    return offered();
                },
                30000);
        };
        const QPoint grip = Geometry(window).center();
        const bool moved = DragWithMouse(grip, target, awaitAnswer);
        PollUntil([&] {
            source.waitForReadyRead(0);
            said += source.readAllStandardOutput();
            return said.contains("dropped") || Ended(&source);
        });
        if (!moved)
            return ::testing::AssertionFailure() << "xdotool failed";
        if (!said.contains("dropped copy"))
            return ::testing::AssertionFailure() << "the drop was refused: " << said.data();
        return ::testing::AssertionSuccess();
    }

    void TearDown() override {
        for (const auto& source : sources_) {
            source->kill();
            source->waitForFinished(kToolMs);
        }
        ProgramsOnX::TearDown();
    }

    std::vector<std::unique_ptr<QProcess>> sources_;
};

TEST_P(DesktopJobTest, CropsByMouseAndKeyboardTheFirstTime) {
    const Language& language = GetParam();
    // Two loose photos and a folder; the folder's photos come in name
    // order, a sub-folder's where its name sorts, other files and _PAGE_
    // passed over. One name is taken in the output folder already, and two
    // sources share a name.
    const QString beach = Photo("loose/beach.JPG", 640, 480);
    const QString portrait = Photo("loose/portrait.jpg", 480, 640);
    const QString albumA = Photo("album/a.jpg", 640, 480);
    const QString albumSmall = Photo("album/Sub/b.jpeg", 320, 240);
    const QString albumBeach = Photo("album/Sub/beach.JPG", 640, 480);
    const QString albumZ = Photo("album/z.jpg", 600, 400);
    Photo("album/_PAGE_/skipped.jpg", 640, 480);
    WriteBytes(Photos() + "/album/notes.txt", "not a photo");
    const QString out = home_.path() + QStringLiteral("/crops");
    ASSERT_TRUE(QDir().mkpath(out));
    WriteBytes(out + "/a.jpg", "taken");

    QProcess* launcher = StartLauncher();
    const QString agreement =
        AwaitWindow(language.agreementTitle, launcher->processId(), {}, QStringLiteral("DIALOG"));
    ASSERT_FALSE(agreement.isEmpty()) << "no agreement on the first start";
    ASSERT_TRUE(PressKey(agreement, QStringLiteral("Return")));
    const qint64 program = AwaitMainProgram(launcher);
    ASSERT_GT(program, 0) << "agreeing started no main program";

    // While the window is still transparent, nothing else of it shows.
    QString main;
    QStringList early;
    watch_ = [&] {
        if (main.isEmpty() || Opaque(main))
            return;
        const std::vector<XWindow> others = OthersOf(program, main);
        // Asked again: listing the windows takes long enough, on a busy
        // machine, for the window to turn opaque and its cards to show.
        if (others.empty() || Opaque(main))
            return;
        for (const XWindow& window : others)
            early << QStringLiteral("%1x%2")
                         .arg(window.geometry.width())
                         .arg(window.geometry.height());
    };
    main = AwaitWindow(language.programTitle, program, {}, QStringLiteral("NORMAL"));
    ASSERT_FALSE(main.isEmpty()) << "no main window";
    ASSERT_TRUE(PollUntil([&] {
        Watch();
        return Opaque(main);
    })) << "the main window never became opaque";
    watch_ = {};
    early.removeDuplicates();
    EXPECT_TRUE(early.isEmpty()) << "shown before the window: " << early.join(", ").toStdString();

    const QRect frame = Geometry(main);
    ASSERT_FALSE(frame.isEmpty());
    const ViewLayout layout = LayoutOf(frame);
    const QRect imagesCard = layout.imagesHint.translated(frame.topLeft());
    const QRect rectanglesCard = layout.rectanglesHint.translated(frame.topLeft());
    ASSERT_TRUE(PollUntil([&] { return !CardAt(program, imagesCard).isEmpty(); }))
        << "the card asking for photos is not shown";
    ASSERT_FALSE(CardAt(program, rectanglesCard).isEmpty());

    // Files and a folder onto the card that asks for them.
    ASSERT_TRUE(DropFiles({beach, portrait, Photos() + "/album"}, imagesCard.center()));
    QString seen;
    ASSERT_TRUE(PollUntil([&] {
        const std::vector<XWindow> others = OthersOf(program, main);
        seen = Describe(others);
        return others.size() == 1 && others.front().geometry == rectanglesCard;
    })) << "the photos were not added; shown: "
        << seen.toStdString();

    // A rectangle: Add, drag the square's corner, OK.
    ASSERT_TRUE(ClickAt(frame.topLeft() + layout.add.center()));
    const QString dialog = AwaitWindow(language.cropDialogTitle, program);
    ASSERT_FALSE(dialog.isEmpty()) << "Add opened no crop settings";
    const QRect dialogArea = Geometry(dialog);
    const QRect preview = DialogGeometry(7, 7, 313, 290);
    const PixelRect placed = FittedPlacement(640, 480, preview.width(), preview.height());
    const double scale = placed.Width() / 640.0;
    const auto onScreen = [&](int x, int y) {
        return dialogArea.topLeft() + preview.topLeft() +
               QPoint(placed.left + Nearest(x * scale), placed.top + Nearest(y * scale));
    };
    // The corner can be grabbed once the photo is on the preview.
    const QRect photoOnScreen(onScreen(0, 0), onScreen(640, 480));
    ASSERT_TRUE(PollUntil([&] { return ShowsPicture(photoOnScreen); }))
        << "the crop settings show no photo";
    ASSERT_TRUE(DragWithMouse(onScreen(256, 256), onScreen(kDrawnRight, kDrawnBottom)));
    ASSERT_TRUE(ClickAt(dialogArea.topLeft() + DialogGeometry(350, 283, 50, 14).center()));
    ASSERT_TRUE(PollUntil([&] { return Windows(language.cropDialogTitle).isEmpty(); }))
        << "OK did not close the crop settings";
    ASSERT_TRUE(PollUntil([&] { return CardAt(program, rectanglesCard).isEmpty(); }))
        << "no rectangle was added";

    // Crop all, into a folder typed into the chooser.
    ASSERT_TRUE(ClickAt(frame.topLeft() + layout.cropAll.center()));
    const QString chooser =
        AwaitWindow(language.programTitle, program, {main}, QStringLiteral("DIALOG"));
    ASSERT_FALSE(chooser.isEmpty()) << "Crop all asked for no folder";
    Shot(QStringLiteral("chooser"));
    const QRect chooserArea = Geometry(chooser);
    EXPECT_GE(chooserArea.width(), 300);
    EXPECT_GE(chooserArea.height(), 250);
    // "type" takes every word after it as text: the Return goes alone.
    ASSERT_TRUE(Xdo({"windowfocus", "--sync", chooser, "key", "ctrl+a"}).ok);
    ASSERT_TRUE(Xdo({"type", "--delay", "5", out}).ok);
    Shot(QStringLiteral("chooser-typed"));
    ASSERT_TRUE(Xdo({"key", "Return"}).ok);
    const QString done =
        AwaitWindow(language.programTitle, program, {main, chooser}, QStringLiteral("DIALOG"));
    Shot(QStringLiteral("completion"));
    ASSERT_FALSE(done.isEmpty()) << "the chooser took no folder, or no completion message";
    ASSERT_TRUE(PressKey(done, QStringLiteral("Return")));

    // Collection order: drop order, the folder in name order.
    const std::map<QString, QSize> expected = {
        {"beach.JPG", {400, 320}}, {"portrait.jpg", {400, 320}}, {"a_0.jpg", {400, 320}},
        {"b.jpeg", {320, 240}},    {"beach_0.JPG", {400, 320}},  {"z.jpg", {400, 320}},
    };
    std::map<QString, QSize> written;
    for (const QString& name : QDir(out).entryList(QDir::Files | QDir::Hidden)) {
        if (name == QStringLiteral("a.jpg"))
            continue;
        const JpegInfo info = ReadJpegInfo(out + u'/' + name);
        written[name] = QSize(info.width, info.height);
    }
    EXPECT_EQ(written, expected);
    QFile taken(out + "/a.jpg");
    ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.readAll(), QByteArray("taken"));

    // Esc asks, Yes closes; the data files hold what was done.
    ASSERT_TRUE(PressKey(main, QStringLiteral("Escape")));
    const QString question =
        AwaitWindow(language.programTitle, program, {main}, QStringLiteral("DIALOG"));
    ASSERT_FALSE(question.isEmpty()) << "Esc asked nothing";
    ASSERT_TRUE(PressKey(question, QStringLiteral("Return")));
    ASSERT_TRUE(EndsQuietly(launcher));
    QFile rects(folder_ + QStringLiteral("RECT.DAT"));
    ASSERT_TRUE(rects.open(QIODevice::ReadOnly));
    const std::vector<CCropRect> saved = ParseRectRecords(rects.readAll());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].isPixel, 1);
    EXPECT_EQ(saved[0].Resolve(10000, 10000), (PixelRect{0, 0, kDrawnRight, kDrawnBottom}));
    QFile images(folder_ + QStringLiteral("IMG.DAT"));
    ASSERT_TRUE(images.open(QIODevice::ReadOnly));
    EXPECT_EQ(ParseImageRecords(images.readAll()),
              (QStringList{beach, portrait, albumA, albumSmall, albumBeach, albumZ}));
}

void PrintTo(const Language& language, std::ostream* os) {
    *os << language.name;
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, DesktopJobTest, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

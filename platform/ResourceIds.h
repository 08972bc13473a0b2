#pragma once

// Every numbered resource the programs use, named once: the texts of
// resources/strings.txt, the dialog templates whose texts it holds, the
// controls (their numbers are their object names, which tests and harnesses
// find them by), the view's commands, the pictures under :/pelmora/bitmaps
// and the cursor. The string table and the artwork files are keyed by these
// numbers: change a number only together with its resource.

#include <QString>

// A resource that exists once per language: the Japanese one is used under
// the language rule (platform/Language.h), the English one otherwise.
struct LangIds {
    int japanese;
    int english;
};

// The one of `ids` the language rule picks now.
int ByLanguage(LangIds ids);

// Messages, by string number.
namespace text {
inline constexpr LangIds kNoImages{129, 146};
inline constexpr LangIds kNoCropRects{130, 151};
inline constexpr LangIds kNoCropRectSelected{131, 152};
inline constexpr LangIds kNoImageSelected{132, 147};
inline constexpr LangIds kConfirmRemoveImages{133, 148};
inline constexpr LangIds kInvalidRect{134, 135};
inline constexpr LangIds kConfirmExit{138, 150};
inline constexpr LangIds kImagesHint{139, 145};
inline constexpr LangIds kRectanglesHint{140, 153};
inline constexpr LangIds kChooseOutputFolder{141, 144};
inline constexpr LangIds kConfirmDeleteRect{154, 155};
inline constexpr LangIds kAgreementRefused{11621, 11622};
inline constexpr LangIds kAgreementUnreadable{11623, 11624};  // %1: the agreement's path
inline constexpr LangIds kCropsDone{11811, 11812};
inline constexpr LangIds kCropsFailed{11813, 11814};      // %1: how many
inline constexpr LangIds kMoreFailedFiles{11815, 11816};  // %1: how many not listed
inline constexpr LangIds kFlushFailed{11817, 11818};      // %1: the system's reason
inline constexpr LangIds kConfirmStopCrops{11819, 11820};
inline constexpr LangIds kCropsStopped{11821, 11822};       // %1: crops saved, %2: crops not done
inline constexpr LangIds kPathsTooLong{11841, 11842};       // %1: how many files
inline constexpr LangIds kImageListNotSaved{11843, 11844};  // %1: its path
inline constexpr LangIds kRectFileNotSaved{11845, 11846};   // %1: its path
inline constexpr LangIds kFolderField{11851, 11852};
inline constexpr LangIds kNoBrowser{11853, 11854};  // %1: the page's address

// Every message above, for checks that must see them all.
inline constexpr LangIds kAll[] = {
    kNoImages,
    kNoCropRects,
    kNoCropRectSelected,
    kNoImageSelected,
    kConfirmRemoveImages,
    kInvalidRect,
    kConfirmExit,
    kImagesHint,
    kRectanglesHint,
    kChooseOutputFolder,
    kConfirmDeleteRect,
    kAgreementRefused,
    kAgreementUnreadable,
    kCropsDone,
    kCropsFailed,
    kMoreFailedFiles,
    kFlushFailed,
    kConfirmStopCrops,
    kCropsStopped,
    kPathsTooLong,
    kImageListNotSaved,
    kRectFileNotSaved,
    kFolderField,
    kNoBrowser,
};
}  // namespace text

// Dialog templates; the string table holds their texts as TEMPLATE.CONTROL.
namespace dialog {
inline constexpr LangIds kCropSettings{138, 1503};
inline constexpr LangIds kQuality{141, 1502};
inline constexpr LangIds kLicense{11600, 11601};
inline constexpr int kProgress = 11100;  // has no texts

// Every template with texts, for checks that must see them all.
inline constexpr LangIds kAll[] = {kCropSettings, kQuality, kLicense};
}  // namespace dialog

// Controls. A dialog's control 0 is its title in the string table.
namespace control {
inline constexpr int kTitle = 0;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// The crop settings dialog.
inline constexpr int kPixelUnit = 1001;
inline constexpr int kPreviewFrame = 1002;
inline constexpr int kPercentUnit = 1003;
inline constexpr int kLossless = 1011;
inline constexpr int kRecompress = 1012;
inline constexpr int kActualSize = 1015;
inline constexpr int kGrid = 1016;
inline constexpr int kTopLeftReadout = 1017;
inline constexpr int kBottomRightReadout = 1018;
inline constexpr int kStepMarker = 1019;
inline constexpr int kNavigatorFrame = 1020;
inline constexpr int kWidthReadout = 1021;
inline constexpr int kHeightReadout = 1022;
inline constexpr int kQualityButton = 1025;
inline constexpr int kPreviousImage = 213;
inline constexpr int kNextImage = 214;
// Texts of controls the templates leave unnumbered: kUnnumbered + n (the two
// group boxes are 1 and 2; a read-out's caption is kUnnumbered + its number).
inline constexpr int kUnnumbered = 60000;
inline constexpr int kUnitGroup = kUnnumbered + 1;
inline constexpr int kModeGroup = kUnnumbered + 2;

// The quality dialog.
inline constexpr int kQualityTrackbar = 1026;
inline constexpr int kQualityReadout = 1028;

// The progress dialog and the launcher's agreement.
inline constexpr int kProgressBar = 11101;
inline constexpr int kAgreementText = 11108;

// The main window's view and its two lists.
inline constexpr int kImageList = 203;
inline constexpr int kView = 211;
inline constexpr int kRectList = 212;
}  // namespace control

// The object name a control is found by: its number.
QString ControlName(int controlId);

// Command numbers of the view's buttons; a picture button's object name is
// its command's number.
enum ViewCommand : int {
    kCmdCropSelected = 154,
    kCmdCropAll = 201,
    kCmdRemoveSelected = 205,
    kCmdRemoveAll = 206,
    kCmdAddRect = 208,
    kCmdEditRect = 209,
    kCmdDeleteRect = 210,
    kCmdPrevious = 213,
    kCmdNext = 214,
    kCmdHomePage = 215,
    kCmdHelpPage = 216,
    kCmdMinimise = 217,
    kCmdClose = 218,
};

// Pictures, by bitmap number.
namespace picture {
inline constexpr int kLogo = 130;
inline constexpr int kCaptionActive = 131;
inline constexpr LangIds kRectButtons{132, 157};
inline constexpr LangIds kCropButtons{133, 155};
inline constexpr LangIds kRemoveButtons{134, 156};
inline constexpr int kStepButtons = 135;
inline constexpr int kCaptionIcons = 136;
inline constexpr int kCaptionInactive = 158;
inline constexpr int kCorner = 219;
}  // namespace picture

// The resource path of a picture: ":/pelmora/bitmaps/130.png".
QString PictureResource(int pictureId);

namespace cursor {
inline constexpr int kMove = 11105;
}  // namespace cursor

// The resource path of a cursor: ":/pelmora/cursors/11105.png".
QString CursorResource(int cursorId);

#pragma once

// The main window's pictures: button sheets, caption strips and the corner
// mark. Each sheet holds its buttons side by side, the normal faces in the
// upper half and the pressed faces in the lower half.

#include <QImage>

enum class SheetLanguage { kJapanese, kEnglish };

QImage RectangleButtonsSheet(SheetLanguage language);  // 132 / 157: edit, add, delete
QImage CropButtonsSheet(SheetLanguage language);       // 133 / 155: crop selected, crop all
QImage RemoveButtonsSheet(SheetLanguage language);     // 134 / 156: remove selected, remove all
QImage StepButtonsSheet();                             // 135: previous, next
QImage CaptionIconsSheet();                            // 136: home, help, minimise, close
QImage CaptionStrip(bool active);                      // 131 / 158
QImage CornerMark();                                   // 219
QImage ProgramIcon();                                  // the desktop menu's icon, 128 x 128

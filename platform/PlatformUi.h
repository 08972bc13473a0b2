#pragma once

// What the widget programs set up once, after the application object exists
// and before any window: the platform's own texts (buttons of message boxes,
// the folder chooser) in the language of the program's texts, and a
// Japanese gothic font for the face the program's texts ask for; and every
// button of every window, dialogs and message boxes included, shows the
// pointing hand.

class QFont;

void SetUpPlatformUi();

// The face that Japanese texts are drawn in, and the one standing in for it.
inline constexpr char16_t kJapaneseFace[] = u"ＭＳ ゴシック";
inline constexpr char kJapaneseFaceSubstitute[] = "IPAGothic";

// The font the dialogs laid out in dialog units are made for: 8 points at
// 96 dpi (11 pixels) in the face of the language rule, the Japanese face or
// "Arial". A larger desktop font would not fit the templates' text boxes.
QFont DialogFont();
inline constexpr int kDialogFontPixels = 11;
inline constexpr char kLatinFace[] = "Arial";

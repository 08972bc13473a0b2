#pragma once

// pelmora-crop's reader of other picture formats: Qt Gui's image readers live
// in a module next to the program, loaded the first time such a file comes
// along, so that a run over JPEG files never maps Qt Gui and the many
// libraries behind it.

#include "engine/OtherPictures.h"

OtherPictureReader FormatsModuleReaders();

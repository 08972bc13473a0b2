#pragma once

// Other picture formats through Qt Gui's image readers (library
// pelmora_other_pictures): what the window and the tests register, and what
// pelmora-crop's formats module exports.

#include "engine/OtherPictures.h"

OtherPictureReader QtPictureReaders();

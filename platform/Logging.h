#pragma once

// One logging category per folder, for failures the user is not shown
// (a data file that could not be saved at exit, a thumbnail that could not
// be written to the cache): qCWarning(lcEngine) << ...; enable or silence
// them with QT_LOGGING_RULES="pelmora.engine.warning=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcEngine)
Q_DECLARE_LOGGING_CATEGORY(lcImages)
Q_DECLARE_LOGGING_CATEGORY(lcCropRects)
Q_DECLARE_LOGGING_CATEGORY(lcApp)

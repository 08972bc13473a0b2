#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "pelmora.platform", QtWarningMsg)
Q_LOGGING_CATEGORY(lcEngine, "pelmora.engine", QtWarningMsg)
Q_LOGGING_CATEGORY(lcImages, "pelmora.images", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCropRects, "pelmora.croprects", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "pelmora.app", QtWarningMsg)

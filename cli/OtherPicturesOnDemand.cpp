#include "cli/OtherPicturesOnDemand.h"

#include <QFileInfo>
#include <QLibrary>

namespace {

using ReadFunction = void (*)(const QString*, RgbPicture*, QString*);
using SizeFunction = void (*)(const QString*, QSize*);

struct FormatsModule {
    ReadFunction read = nullptr;
    SizeFunction size = nullptr;
    QString error;
};

QString ProgramFolder() {
#ifdef Q_OS_LINUX
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (!folder.isEmpty())
        return folder + u'/';
#endif
    return {};
}

const FormatsModule& Module() {
    static const FormatsModule module = [] {
        FormatsModule loaded;
        QLibrary library(ProgramFolder() + QStringLiteral("pelmora-crop-formats"));
        if (!library.load()) {
            loaded.error = QStringLiteral("cannot read pictures other than JPEG: %1")
                               .arg(library.errorString());
            return loaded;
        }
        loaded.read = reinterpret_cast<ReadFunction>(library.resolve("PelmoraReadOtherPicture"));
        loaded.size = reinterpret_cast<SizeFunction>(library.resolve("PelmoraOtherPictureSize"));
        if (loaded.read == nullptr || loaded.size == nullptr) {
            loaded.read = nullptr;
            loaded.size = nullptr;
            loaded.error = QStringLiteral("cannot read pictures other than JPEG: %1")
                               .arg(library.errorString());
        }
        return loaded;  // the library stays loaded: QLibrary never unloads on destruction
    }();
    return module;
}

RgbPicture ReadThroughModule(const QString& path, QString* error) {
    const FormatsModule& module = Module();
    RgbPicture picture;
    if (module.read != nullptr) {
        module.read(&path, &picture, error);
    } else if (error != nullptr) {
        *error = module.error;
    }
    return picture;
}

QSize SizeThroughModule(const QString& path) {
    const FormatsModule& module = Module();
    QSize size;
    if (module.size != nullptr)
        module.size(&path, &size);
    return size;
}

}  // namespace

OtherPictureReader FormatsModuleReaders() {
    return {ReadThroughModule, SizeThroughModule};
}

#include "images/CollectFiles.h"

#include "platform/PathUtils.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path ToFsPath(const QString& path) {
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

QString FromFsName(const fs::path& name) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(name.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(name.string()));
#endif
}

}  // namespace

bool NameOrder(const QString& a, const QString& b) {
    const QString foldedA = a.toCaseFolded();
    const QString foldedB = b.toCaseFolded();
    if (foldedA != foldedB)
        return foldedA < foldedB;
    return a < b;
}

namespace {

class FolderSearch {
  public:
    FolderSearch(QStringList& files, QString* unsearchable, const std::function<void()>& pump)
        : files_(files), unsearchable_(unsearchable), pump_(pump) {}

    bool Search(const QString& folder) {
        std::error_code error;
        const fs::path native = ToFsPath(folder);
        const fs::path identity = fs::canonical(native, error);
        if (error)
            return Refuse(folder);
        for (const fs::path& ancestor : ancestors_) {
            if (ancestor == identity)
                return true;  // a link back up: already being searched
        }
        fs::directory_iterator entries(native, error);
        if (error)
            return Refuse(folder);

        // Listed whole, then visited in name order: the order of a folder's
        // entries is the file system's accident (a hash order on many).
        std::vector<Entry> listed;
        for (const fs::directory_iterator end; entries != end; entries.increment(error)) {
            if (error)
                break;
            QString name = FromFsName(entries->path().filename());
            QString folded = name.toCaseFolded();
            listed.push_back({std::move(name), std::move(folded), *entries});
        }
        const bool listedWhole = !error;
        // NameOrder, with each name folded once rather than per comparison.
        std::sort(listed.begin(), listed.end(), [](const Entry& a, const Entry& b) {
            return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
        });

        ancestors_.push_back(identity);
        const QString prefix = IsPathSeparator(folder.back()) ? folder : folder + QDir::separator();
        bool complete = true;
        for (const Entry& entry : listed) {
            if (!Visit(entry, prefix)) {
                complete = false;
                break;
            }
        }
        // A listing that broke off: what it gave is kept, the rest is lost.
        if (complete && !listedWhole)
            complete = Refuse(folder);
        ancestors_.pop_back();
        return complete;
    }

  private:
    struct Entry {
        QString name;
        QString folded;  // the name with letter case folded
        fs::directory_entry entry;
    };

    bool Visit(const Entry& listed, const QString& prefix) {
        const QString& name = listed.name;
        std::error_code error;
        if (listed.entry.is_directory(error)) {
            if (name == QStringLiteral("_PAGE_"))
                return true;
            if (!Search(prefix + name))
                return false;
        } else {
            files_.append(prefix + name);
        }
        if (pump_)
            pump_();
        return true;
    }

    bool Refuse(const QString& folder) {
        if (unsearchable_ != nullptr)
            *unsearchable_ = folder;
        return false;
    }

    QStringList& files_;
    QString* unsearchable_;
    const std::function<void()>& pump_;
    std::vector<fs::path> ancestors_;
};

}  // namespace

CollectedFiles CollectFiles(const QString& path, const std::function<void()>& letPaintsThrough) {
    CollectedFiles found;
    switch (GetPathKind(path)) {
        case kPathNothing:
            found.status = Status::Failure(QStringLiteral("no such file or folder"));
            break;
        case kPathFile:
            found.files.append(path);
            break;
        default:
            if (!FolderSearch(found.files, &found.unsearchable, letPaintsThrough).Search(path)) {
                found.status =
                    Status::Failure(QStringLiteral("cannot search %1")
                                        .arg(QDir::toNativeSeparators(found.unsearchable)));
            }
            break;
    }
    return found;
}

bool HasJpegExtension(const QString& path) {
    QString extension;
    GetPathExtension(path, extension);
    return extension.compare(QStringLiteral(".jpg"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QStringLiteral(".jpeg"), Qt::CaseInsensitive) == 0;
}

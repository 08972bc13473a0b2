#include "platform/AtomicOutputFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

// Far more copies of one name than any folder holds; the search ends there
// rather than run on forever on a file system that answers nonsense.
constexpr quint64 kMostNumberedNames = 1000000;

QString CleanFolder(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(QString finalPath, OutputPolicy policy)
    : finalPath_(std::move(finalPath)), policy_(std::move(policy)) {}

AtomicOutputFile::~AtomicOutputFile() {
    Discard();
}

OutputSession& AtomicOutputFile::Session() {
    if (ownSession_ != nullptr)
        return *ownSession_;
    const QString folder = QFileInfo(finalPath_).absolutePath();
    if (policy_.session != nullptr && CleanFolder(policy_.session->Folder()) == CleanFolder(folder))
        return *policy_.session;
    ownSession_ = std::make_unique<OutputSession>(folder);
    return *ownSession_;
}

bool AtomicOutputFile::Open() {
    if (opened_)
        return Stream() != nullptr;
    opened_ = true;
    // A replacing commit renames, which a file without a name cannot do.
    const bool unnamed = policy_.existing != ExistingOutput::kReplace;
    return Session().OpenTemporary(unnamed, temporary_, error_);
}

bool AtomicOutputFile::Commit() {
    if (Stream() == nullptr) {
        if (error_.isEmpty())
            error_ = QStringLiteral("write error: the file is not open");
        return false;
    }
    OutputSession& session = Session();
    bool named = session.Finish(temporary_, policy_.durable, error_);
    if (named) {
        switch (policy_.existing) {
            case ExistingOutput::kReplace:
                named = session.ReplaceName(temporary_, finalPath_, policy_.durable, error_);
                break;
            case ExistingOutput::kKeep: {
                const auto claim = session.ClaimName(temporary_, finalPath_, error_);
                if (claim == OutputSession::Claim::kTaken)
                    error_ = QStringLiteral("%1 already exists").arg(finalPath_);
                named = claim == OutputSession::Claim::kClaimed;
                break;
            }
            case ExistingOutput::kNextFreeName:
                named = ClaimFreeName();
                break;
        }
    }
    if (!named)
        Discard();
    return named;
}

// The planned name, then name_0, name_1, ... as MakeUniquePath numbers them,
// passing over names held for other outputs; the file system decides which
// is free, in the call that takes it.
bool AtomicOutputFile::ClaimFreeName() {
    QString extension;
    QString stem = finalPath_;
    GetPathExtension(finalPath_, extension);
    RemovePathExtension(finalPath_, stem);
    QString candidate = finalPath_;
    quint64 n = 0;
    while (n <= kMostNumberedNames) {
        switch (Session().ClaimName(temporary_, candidate, error_)) {
            case OutputSession::Claim::kClaimed:
                finalPath_ = candidate;
                return true;
            case OutputSession::Claim::kFailed:
                return false;
            case OutputSession::Claim::kTaken:
                break;
        }
        do {
            candidate = stem + u'_' + QString::number(n++) + extension;
        } while (policy_.heldForOthers && policy_.heldForOthers(candidate) &&
                 n <= kMostNumberedNames);
    }
    error_ = QStringLiteral("no free name for %1").arg(finalPath_);
    return false;
}

void AtomicOutputFile::Discard() {
    if (temporary_.stream == nullptr && temporary_.path.isEmpty())
        return;
    Session().Discard(temporary_);
}

Status WriteFileAtomically(const QString& path, const QByteArray& data) {
    OutputSession session(QFileInfo(path).absolutePath());
    session.RemoveLeftovers();
    OutputPolicy policy(ExistingOutput::kReplace);
    policy.session = &session;
    policy.durable = true;
    AtomicOutputFile output(path, policy);
    const auto size = static_cast<std::size_t>(data.size());
    if (!output.Open())
        return Status::Failure(output.ErrorText());
    if (std::fwrite(data.constData(), 1, size, output.Stream()) != size) {
        return Status::Failure(
            QStringLiteral("write error: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!output.Commit())
        return Status::Failure(output.ErrorText());
    return {};
}

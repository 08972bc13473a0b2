#pragma once

#include "platform/OutputPolicy.h"
#include "platform/OutputSession.h"
#include "platform/Status.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <memory>

// An output file that appears under its name only when it is complete. The
// data goes to a temporary in the destination folder (see OutputSession);
// Commit gives it its name as the policy says. Destroying an uncommitted file
// removes the temporary, so a failure never leaves a partial file behind.
class AtomicOutputFile {
  public:
    AtomicOutputFile(QString finalPath, OutputPolicy policy);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Creates the temporary file; false (with ErrorText) when the folder
    // cannot take it.
    bool Open();
    std::FILE* Stream() const { return temporary_.stream; }

    // Flushes the data and gives it its name. With kKeep a name held by any
    // entry fails the commit; with kNextFreeName the file takes the first
    // free one of name_0, name_1, ... (FinalPath says which).
    bool Commit();
    // Closes and deletes the temporary file (also done by the destructor).
    void Discard();

    // The name the file has (or is meant to have before Commit).
    const QString& FinalPath() const { return finalPath_; }
    const QString& ErrorText() const { return error_; }

  private:
    OutputSession& Session();
    bool ClaimFreeName();

    QString finalPath_;
    OutputPolicy policy_;
    std::unique_ptr<OutputSession> ownSession_;
    OutputSession::Temporary temporary_;
    bool opened_ = false;
    QString error_;
};

// Writes `data` as the whole new content of `path`, replacing the old file
// only once the new one is on the disk; a failure leaves the old file and
// says why.
Status WriteFileAtomically(const QString& path, const QByteArray& data);

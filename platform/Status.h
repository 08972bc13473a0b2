#pragma once

// How the program's own code says whether something worked: a Status is
// success, or a failure that carries its reason in words a user can read
// ("No space left on device"). Functions that also produce something return
// a result struct with a `Status status` member beside the product.
//
// A failure the user is not shown still leaves a trace: log it in the
// folder's category (platform/Logging.h) where it is dropped.

#include <QString>

#include <utility>

class [[nodiscard]] Status {
  public:
    Status() = default;  // success

    // A failure; an empty reason becomes "unknown error", so a failure can
    // never read as success.
    static Status Failure(QString reason) {
        Status status;
        status.error_ = reason.isEmpty() ? QStringLiteral("unknown error") : std::move(reason);
        return status;
    }

    bool ok() const { return error_.isEmpty(); }
    // The reason of a failure; empty on success.
    const QString& errorString() const { return error_; }

  private:
    QString error_;
};

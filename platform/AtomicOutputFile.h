#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// An output file that appears under its final name only when it is complete.
// The data goes to a hidden temporary file in the destination folder; Commit
// moves it to the final name. Destroying an uncommitted file removes the
// temporary, so a failure never leaves a partial file behind.
class AtomicOutputFile {
public:
    explicit AtomicOutputFile(QString finalPath);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Creates the temporary file; false (with ErrorText) when the folder
    // cannot take it.
    bool Open();
    std::FILE* Stream() const { return stream_; }

    enum class Existing { kReplace, kKeep };
    // Flushes and closes the data, then gives it the final name. With kKeep an
    // existing entry under that name is never replaced and Commit fails.
    bool Commit(Existing existing);
    // Closes and deletes the temporary file (also done by the destructor).
    void Discard();

    const QString& ErrorText() const { return error_; }
    const QString& TemporaryPath() const { return tempPath_; }

private:
    bool CloseStream();

    QString finalPath_;
    QString tempPath_;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
    QString error_;
};

// Writes `data` as the whole new content of `path`, replacing the old file
// only once the new one is complete.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

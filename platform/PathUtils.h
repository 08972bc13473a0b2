#pragma once

// Path and output-name helpers shared by every subsystem. Paths use the
// native separator; an extension runs from the last dot of the last
// component, dot included.

#include <QByteArray>
#include <QString>

#include <functional>

// Path kinds answered by GetPathKind.
enum PathKind : int { kPathNothing = 0, kPathFile = 1, kPathFolder = 2 };

// The folder of the running program file, ending with a separator.
void GetModuleFolder(QString& folder);

// Where the program keeps IMG.DAT and RECT.DAT: its own folder while the
// running user may write there, else the user's own data folder for the
// program (created when missing). Both end with a separator. A program
// folder `sharedByAllUsers` (installed under /usr) is never used, not even
// by root, who may write there.
QString DataFileFolder(const QString& programFolder, const QString& userDataFolder,
                       bool sharedByAllUsers = false);

// True when `programFolder` is `installDir` (relative, such as
// "lib/pelmora") under some prefix: where an installation for all users puts
// the programs. An empty `installDir` matches nothing.
bool IsProgramFolderInstalledAs(const QString& programFolder, const QString& installDir);

// The path in the local 8-bit encoding, zero-terminated (QByteArray owns it).
QByteArray ToAnsi(const QString& text);

// For an empty path these three leave their output unchanged.
void GetPathExtension(const QString& path, QString& extension);
void RemovePathExtension(const QString& path, QString& withoutExtension);
void GetPathFileName(const QString& path, QString& fileName);

// 0: nothing there, 1: a file (or any other non-folder entry), 2: a folder.
// One trailing separator is ignored.
int GetPathKind(const QString& path);

// Decides whether a candidate name is taken; the default asks GetPathKind.
using PathTakenTest = std::function<bool(const QString&)>;

// Turns `path` into the first of path, path_0, path_1, ... (suffix before
// the extension) that is not taken.
void MakeUniquePath(QString& path, const PathTakenTest& isTaken = {});

// True for the characters that separate path components here.
bool IsPathSeparator(QChar character);

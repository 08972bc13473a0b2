#pragma once

// The folder chooser: a modal dialog owned by `owner`, with `prompt` shown
// above a tree of the file system's folders and a field that takes a typed
// or pasted folder; it opens at the home folder. Only existing folders can
// be chosen. Returns 1 and sets `folder` (native separators, no trailing
// separator except for the root) when the user chose one; returns 0 and
// leaves `folder` alone otherwise.

#include <QString>

class QWidget;

int BrowseForFolder(QWidget* owner, const QString& prompt, QString& folder);

// Object name of the prompt label inside the chooser, for whoever drives it.
inline constexpr char kBrowsePromptName[] = "browsePrompt";
// Object names of the folder tree and of the field holding the folder.
inline constexpr char kBrowseTreeName[] = "browseTree";
inline constexpr char kBrowseFieldName[] = "browseFolder";

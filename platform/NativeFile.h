#pragma once

#include <QString>

#include <cstdio>

// C streams and file removal on paths in the program's string type.
std::FILE* OpenCFile(const QString& path, const char* mode);
bool RemoveNativeFile(const QString& path);

#pragma once

// Opening a page of the program's web site in the desktop's browser.

#include <QUrl>

#include <functional>

class QObject;

// Starts the desktop's browser on `url`. When no browser can be started,
// `failed` runs: at once when nothing could even be started, or later, on
// this thread, when the desktop's opener (xdg-open) ends with a failure
// status. `context` owns the waiting; `failed` never runs after it is gone.
void OpenWebPage(const QUrl& url, QObject* context, const std::function<void()>& failed);

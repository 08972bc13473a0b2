#pragma once

// The main program's application object: start-up and exit, the one running
// copy, and the settings that every window reads and changes in memory.

#include "app/AppSettings.h"
#include "app/MainFrame.h"
#include "platform/InstanceMarker.h"

#include <QString>
#include <QtGlobal>

#include <memory>

class QWidget;

class CPelmoraApp {
  public:
    CPelmoraApp();
    ~CPelmoraApp();
    CPelmoraApp(const CPelmoraApp&) = delete;
    CPelmoraApp& operator=(const CPelmoraApp&) = delete;

    // The program's one application object (null outside its lifetime).
    static CPelmoraApp* Instance();

    // Start-up: names the program, makes sure it is the only copy (a second
    // copy asks the first to raise its window), loads the settings, reads
    // the version and opens the main window. False ends the program at once.
    bool InitInstance();
    // Exit: saves the settings and gives up the running-copy mark.
    int ExitInstance();
    // InitInstance, the event loop until the main window closes, ExitInstance.
    int Run();

    void LoadSettings();
    void SaveSettings();

    QString appName;            // the application name chosen at start
    AppSettings settings;       // quality, re-compress and not-first flags
    quint32 fileVersionMS = 0;  // major << 16 | minor
    quint32 fileVersionLS = 0;  // third << 16 | fourth
    bool appActive = false;     // kept by the main window

    QWidget* MainWindow() const { return mainWindow_.get(); }
    CMainFrame* MainFrame() const { return mainWindow_.get(); }

    // Where IMG.DAT and RECT.DAT live: empty means the program's folder.
    QString dataFolder;
    LogoTiming logoTiming;

  private:
    bool BecomeTheOnlyCopy();
    void CreateMainWindow();

    std::unique_ptr<CInstanceMarker> marker_;
    std::unique_ptr<CMainFrame> mainWindow_;
    bool settingsLoaded_ = false;
};

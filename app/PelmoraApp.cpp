#include "app/PelmoraApp.h"

#include "platform/FileVersion.h"
#include "platform/Language.h"
#include "platform/Logging.h"
#include "platform/PathUtils.h"
#include "platform/PlatformUi.h"
#include "platform/WindowUtils.h"
#include "platform/WorkArea.h"

#include <QApplication>
#include <QStandardPaths>
#include <QWidget>

#include <cstdio>

// The program folder of an installation for all users, under its prefix;
// empty when the programs are installed into a folder of their own.
#ifndef PELMORA_SHARED_PROGRAM_FOLDER
#define PELMORA_SHARED_PROGRAM_FOLDER ""
#endif

namespace {

CPelmoraApp* g_instance = nullptr;

}  // namespace

CPelmoraApp::CPelmoraApp() {
    g_instance = this;
}

CPelmoraApp::~CPelmoraApp() {
    if (g_instance == this)
        g_instance = nullptr;
}

CPelmoraApp* CPelmoraApp::Instance() {
    return g_instance;
}

bool CPelmoraApp::InitInstance() {
    SetUpPlatformUi();
    appName = ApplicationName();
    QCoreApplication::setApplicationName(appName);
    if (!BecomeTheOnlyCopy())
        return false;
    QCoreApplication::setOrganizationName(CompanyName());
    LoadSettings();
    GetFileVersion(QCoreApplication::applicationFilePath(), &fileVersionMS, &fileVersionLS);
    CreateMainWindow();
    return true;
}

int CPelmoraApp::ExitInstance() {
    // Only a copy that loaded the settings may write them back.
    if (settingsLoaded_)
        SaveSettings();
    mainWindow_.reset();
    marker_.reset();
    return 0;
}

int CPelmoraApp::Run() {
    if (!InitInstance())
        return 0;
    QApplication::exec();
    return ExitInstance();
}

void CPelmoraApp::LoadSettings() {
    settings = LoadAppSettings(CSettingsStore(CompanyName(), appName));
    settingsLoaded_ = true;
}

void CPelmoraApp::SaveSettings() {
    CSettingsStore store(CompanyName(), appName);
    // At exit there is no window left to say it in.
    const Status saved = SaveAppSettings(store, settings);
    if (!saved.ok())
        qCWarning(lcApp) << "settings not saved:" << saved.errorString();
}

bool CPelmoraApp::BecomeTheOnlyCopy() {
    marker_ = std::make_unique<CInstanceMarker>(appName);
    switch (marker_->Acquire()) {
        case CInstanceMarker::Result::kAcquired:
            marker_->ListenForRaise([name = appName] { RaiseWindowTitled(name); });
            return true;
        case CInstanceMarker::Result::kAlreadyRunning:
            // The other copy may not have a window yet; either way this one
            // ends without a word.
            CInstanceMarker::AskToRaise(appName);
            break;
        case CInstanceMarker::Result::kFailed:
            std::fprintf(stderr, "pelmora: cannot create %s\n",
                         qPrintable(CInstanceMarker::LockPath(appName)));
            break;
    }
    marker_.reset();
    return false;
}

void CPelmoraApp::CreateMainWindow() {
    ViewEnvironment environment;
    environment.settings = &settings;
    environment.appActive = &appActive;
    environment.versionMS = fileVersionMS;
    environment.versionLS = fileVersionLS;
    environment.dataFolder = dataFolder;
    if (environment.dataFolder.isEmpty()) {
        QString programFolder;
        GetModuleFolder(programFolder);
        environment.dataFolder = DataFileFolder(
            programFolder, QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation),
            IsProgramFolderInstalledAs(programFolder,
                                       QStringLiteral(PELMORA_SHARED_PROGRAM_FOLDER)));
    }
    mainWindow_ = std::make_unique<CMainFrame>(environment, logoTiming);
    mainWindow_->show();
    mainWindow_->repaint();
}

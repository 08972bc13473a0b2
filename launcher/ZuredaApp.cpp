#include "launcher/ZuredaApp.h"

#include "launcher/LicenseDlg.h"
#include "platform/InstanceMarker.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/PathUtils.h"
#include "platform/SettingsStore.h"
#include "platform/StringTable.h"
#include "platform/WindowUtils.h"

#include <QCoreApplication>
#include <QProcess>

#include <utility>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kPollMs = 20;

}  // namespace

CZuredaApp::CZuredaApp(QString folder) : folder_(std::move(folder)) {
    if (folder_.isEmpty())
        GetModuleFolder(folder_);
}

bool CZuredaApp::InitInstance() {
    QCoreApplication::setApplicationName(ApplicationName());
    QCoreApplication::setOrganizationName(CompanyName());
    CInstanceMarker marker(QString::fromLatin1(kMarkerName));
    if (marker.Acquire() != CInstanceMarker::Result::kAcquired)
        return false;
    if (Agreed())
        StartAndWait(folder_ + QString::fromLatin1(kMainProgram));
    return false;
}

bool CZuredaApp::Agreed() const {
    // The main program sets the value once it has completed a start; the
    // launcher only reads it.
    const CSettingsStore store(CompanyName(), ApplicationName());
    if (store.GetProfileInt(QString::fromLatin1(kSectionApp), QString::fromLatin1(kEntryNotFirst),
                            0) != 0) {
        return true;
    }
    const bool japanese = IsJapaneseLanguage();
    const QString path =
        folder_ + QString::fromLatin1(japanese ? kJapaneseAgreement : kEnglishAgreement);
    CLicenseDlg dialog(japanese ? dialog::kLicense.japanese : dialog::kLicense.english, path);
    if (!dialog.LoadText()) {
        ShowNotice(nullptr, LangString(text::kAgreementUnreadable).arg(path));
        return false;
    }
    if (dialog.exec() == QDialog::Accepted)
        return true;
    ShowNotice(nullptr, LangString(text::kAgreementRefused));
    return false;
}

int StartAndWait(const QString& program) {
    QProcess process;
    process.setProgram(program);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    process.waitForStarted(kStartTimeoutMs);
    if (process.state() == QProcess::NotRunning && process.error() == QProcess::FailedToStart) {
        return 0;
    }
    QCoreApplication::processEvents();
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(kPollMs)) {
        PumpPaintMessages();
    }
    return process.exitCode();
}

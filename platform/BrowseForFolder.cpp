#include "platform/BrowseForFolder.h"

#include "platform/Language.h"
#include "platform/PathUtils.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// A file dialog that takes folders only, as a child widget of `parent`.
QFileDialog* AddFolderTree(QDialog& parent) {
    auto* tree = new QFileDialog(&parent, Qt::Widget);
    tree->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    tree->setFileMode(QFileDialog::Directory);
    tree->setDirectory(QDir::homePath());
    QObject::connect(tree, &QDialog::finished, &parent, &QDialog::done);
    return tree;
}

QString CleanFolder(const QString& chosen) {
    QString folder = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    while (folder.size() > 1 && IsPathSeparator(folder.back()) &&
           !folder.endsWith(QStringLiteral(":\\"))) {
        folder.chop(1);
    }
    return folder;
}

}  // namespace

int BrowseForFolder(QWidget* owner, const QString& prompt, QString& folder) {
    QDialog dialog(owner);
    dialog.setWindowTitle(ApplicationName());
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    label->setObjectName(QString::fromLatin1(kBrowsePromptName));
    label->setWordWrap(true);
    layout->addWidget(label);
    QFileDialog* tree = AddFolderTree(dialog);
    layout->addWidget(tree);
    dialog.resize(640, 480);
    if (dialog.exec() != QDialog::Accepted) return 0;
    const QString chosen = CleanFolder(tree->selectedFiles().value(0));
    if (chosen.isEmpty() || GetPathKind(chosen) != kPathFolder) return 0;
    folder = chosen;
    return 1;
}

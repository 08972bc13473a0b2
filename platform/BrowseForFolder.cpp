#include "platform/BrowseForFolder.h"

#include "platform/Language.h"
#include "platform/PathUtils.h"
#include "platform/StringTable.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <vector>

namespace {

// Folder names the user may have typed: "~" stands for the home folder, as
// in a terminal; anything else must be absolute.
QString ExpandTyped(const QString& typed) {
    QString path = typed.trimmed();
    if (path == u'~' || path.startsWith(QStringLiteral("~/")))
        path.replace(0, 1, QDir::homePath());
    return path;
}

QString CleanFolder(const QString& chosen) {
    QString folder = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    while (folder.size() > 1 && IsPathSeparator(folder.back()) &&
           !folder.endsWith(QStringLiteral(":\\"))) {
        folder.chop(1);
    }
    return folder;
}

bool IsExistingFolder(const QString& path) {
    return !path.isEmpty() && QDir::isAbsolutePath(path) && GetPathKind(path) == kPathFolder;
}

// The prompt above a tree of the file system's folders, a field that shows
// the chosen folder and takes a typed or pasted one, OK and Cancel. OK is
// offered only while the field names an existing folder.
class CFolderChooser : public QDialog {
  public:
    CFolderChooser(QWidget* owner, const QString& prompt) : QDialog(owner) {
        setWindowTitle(ApplicationName());
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(prompt, this);
        label->setObjectName(QString::fromLatin1(kBrowsePromptName));
        label->setWordWrap(true);
        layout->addWidget(label);
        layout->addWidget(MakeTree());
        layout->addLayout(MakeField());
        buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons_);
        resize(520, 460);
        ShowFolder(QDir::homePath());
        // Typing replaces the proposed folder.
        field_->setFocus();
        field_->selectAll();
    }

    // The folder in the field, checked again: it may have gone meanwhile.
    QString Chosen() const {
        const QString path = ExpandTyped(field_->text());
        return IsExistingFolder(path) ? CleanFolder(path) : QString();
    }

    void accept() override {
        if (!Chosen().isEmpty())
            QDialog::accept();
    }

  private:
    QTreeView* MakeTree() {
        model_ = new QFileSystemModel(this);
        model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
        model_->setRootPath(QString());
        tree_ = new QTreeView(this);
        tree_->setObjectName(QString::fromLatin1(kBrowseTreeName));
        tree_->setModel(model_);
        tree_->setHeaderHidden(true);
        for (int column = 1; column < model_->columnCount(); ++column)
            tree_->hideColumn(column);
        tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        tree_->header()->setStretchLastSection(false);
        for (QObject* part :
             {static_cast<QObject*>(tree_), static_cast<QObject*>(tree_->viewport()),
              static_cast<QObject*>(tree_->verticalScrollBar())})
            part->installEventFilter(this);
        connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current) {
                    if (current.isValid() && !typing_)
                        field_->setText(QDir::toNativeSeparators(model_->filePath(current)));
                });
        return tree_;
    }

    QHBoxLayout* MakeField() {
        auto* row = new QHBoxLayout;
        field_ = new QLineEdit(this);
        field_->setObjectName(QString::fromLatin1(kBrowseFieldName));
        auto* caption = new QLabel(LangString(text::kFolderField), this);
        caption->setBuddy(field_);
        row->addWidget(caption);
        row->addWidget(field_, 1);
        connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) {
            buttons_->button(QDialogButtonBox::Ok)->setEnabled(IsExistingFolder(ExpandTyped(text)));
        });
        // A folder typed or pasted is shown in the tree, the field untouched.
        connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) {
            const QString path = ExpandTyped(text);
            if (!IsExistingFolder(path))
                return;
            typing_ = true;
            ShowFolder(path);
            typing_ = false;
        });
        return row;
    }

    // Selects `path` in the tree, its parents opened; the field follows
    // unless the user is typing in it. The model lists folders on a thread
    // of its own and sorts rows in as they come, so the tree keeps scrolling
    // to the folder as its rows move, until the user takes the tree in hand.
    void ShowFolder(const QString& path) {
        const QModelIndex index = model_->index(QDir::cleanPath(path));
        if (!index.isValid())
            return;
        tree_->setCurrentIndex(index);
        tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
        if (!following_) {
            following_ = true;
            const auto follow = [this] {
                QMetaObject::invokeMethod(this, &CFolderChooser::ScrollToCurrent,
                                          Qt::QueuedConnection);
            };
            followConnections_ = {
                connect(model_, &QAbstractItemModel::rowsInserted, this, follow),
                connect(model_, &QAbstractItemModel::layoutChanged, this, follow)};
        }
    }

    void ScrollToCurrent() {
        if (following_)
            tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
    }

    void StopFollowing() {
        following_ = false;
        for (const QMetaObject::Connection& connection : followConnections_)
            QObject::disconnect(connection);
        followConnections_.clear();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::Wheel:
            case QEvent::KeyPress:
                StopFollowing();
                break;
            default:
                break;
        }
        return QDialog::eventFilter(watched, event);
    }

    // Texts of the field's caption (Japanese, English).

    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLineEdit* field_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    std::vector<QMetaObject::Connection> followConnections_;
    bool following_ = false;
    bool typing_ = false;
};

}  // namespace

int BrowseForFolder(QWidget* owner, const QString& prompt, QString& folder) {
    CFolderChooser chooser(owner, prompt);
    if (chooser.exec() != QDialog::Accepted)
        return 0;
    const QString chosen = chooser.Chosen();
    if (chosen.isEmpty())
        return 0;
    folder = chosen;
    return 1;
}

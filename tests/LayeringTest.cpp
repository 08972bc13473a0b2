// Folders depend downwards only: platform <- engine <- images <- croprects <-
// app, with cli on top of all of them and launcher on platform alone. Every
// `#include "folder/..."` of the program's folders is checked against that
// order, so an upward include fails here instead of creeping in.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>

namespace {

// The folders each folder may include from, itself included.
const std::map<QString, QStringList>& Allowed() {
    static const std::map<QString, QStringList> allowed = {
        {"platform", {"platform"}},
        {"engine", {"engine", "platform"}},
        {"images", {"images", "engine", "platform"}},
        {"croprects", {"croprects", "images", "engine", "platform"}},
        {"app", {"app", "croprects", "images", "engine", "platform"}},
        {"cli", {"cli", "app", "croprects", "images", "engine", "platform"}},
        {"launcher", {"launcher", "platform"}},
    };
    return allowed;
}

// "file: #include ..." for each include of `text` that `folder` may not make.
QStringList ForbiddenIncludes(const QString& folder, const QString& file, const QString& text) {
    static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*"(\w+)/[^"]+")"),
                                            QRegularExpression::MultilineOption);
    QStringList found;
    const QStringList& allowed = Allowed().at(folder);
    for (auto match = include.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        const QString target = m.captured(1);
        if (Allowed().count(target) && !allowed.contains(target))
            found << file + QStringLiteral(": ") + m.captured(0).trimmed();
    }
    return found;
}

TEST(LayeringTest, TheRuleCatchesAnUpwardIncludeAndLetsADownwardOneBe) {
    EXPECT_EQ(ForbiddenIncludes("engine", "engine/A.h", "#include \"croprects/CropRect.h\"\n"),
              QStringList{"engine/A.h: #include \"croprects/CropRect.h\""});
    EXPECT_EQ(ForbiddenIncludes("launcher", "launcher/A.cpp", "  #  include \"app/X.h\"\n").size(),
              1);
    EXPECT_TRUE(ForbiddenIncludes("app", "app/A.cpp",
                                  "#include \"croprects/CropRect.h\"\n#include \"platform/X.h\"\n"
                                  "#include \"ui_thing.h\"\n#include <engine/Y.h>\n")
                    .isEmpty());
    // Outside the program's folders (tests, tools, fuzz) anything goes.
    EXPECT_TRUE(ForbiddenIncludes("images", "images/A.cpp", "#include \"tests/T.h\"\n").isEmpty());
}

TEST(LayeringTest, NoFolderOfTheProgramIncludesFromAFolderAboveIt) {
    const QDir root(QStringLiteral(PELMORA_SOURCE_DIR));
    QStringList forbidden;
    int files = 0;
    for (const auto& [folder, allowed] : Allowed()) {
        ASSERT_TRUE(root.exists(folder)) << folder.toStdString();
        QDirIterator it(root.filePath(folder), {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile source(it.next());
            ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << source.fileName().toStdString();
            ++files;
            forbidden << ForbiddenIncludes(folder, root.relativeFilePath(source.fileName()),
                                           QString::fromUtf8(source.readAll()));
        }
    }
    EXPECT_GT(files, 100);
    EXPECT_TRUE(forbidden.isEmpty()) << forbidden.join(u'\n').toStdString();
}

}  // namespace

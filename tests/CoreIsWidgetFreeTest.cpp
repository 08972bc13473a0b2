// The core library must build without Qt Widgets: no widget header may be
// included by any of its files.

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

TEST(CoreIsWidgetFreeTest, NoCoreFileIncludesAWidgetHeader) {
    QFile list(QStringLiteral(PELMORA_CORE_SOURCE_LIST));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QStringList files = QString::fromUtf8(list.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(files.size(), 5);
    const QRegularExpression widgetInclude(QStringLiteral(
        R"(#\s*include\s*[<"](QtWidgets|Q(Widget|Application|Dialog|MainWindow|MessageBox|)"
        R"(Label|PushButton|AbstractButton|ListWidget|ListView|Slider|ProgressBar|FileDialog|)"
        R"(Frame|ScrollArea|Layout|BoxLayout|StyledItemDelegate|AbstractItemView))\b)"));
    for (const QString& path : files) {
        QFile source(path);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << path.toStdString();
        const QString text = QString::fromUtf8(source.readAll());
        EXPECT_FALSE(widgetInclude.match(text).hasMatch()) << path.toStdString();
    }
}

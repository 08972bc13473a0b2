// What a packager and a software centre read: pelmora-crop's manual page
// against its --help, the desktop entry and the AppStream metadata through
// their validators, and what `cmake --install` puts where.

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using testing_support::CommandResult;
using testing_support::RunCommand;

namespace {

const QString kCropTool = QStringLiteral(PELMORA_CROP_TOOL);
const QString kManPage = QStringLiteral(PELMORA_MAN_PAGE);
const QString kDesktopEntry = QStringLiteral(PELMORA_DESKTOP_ENTRY);
const QString kMetainfo = QStringLiteral(PELMORA_METAINFO);

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Runs a command with extra environment variables; a program that cannot
// be started at all fails the test by name, never silently.
CommandResult RunWith(const QStringList& environment, const QString& program,
                      const QStringList& arguments) {
    CommandResult result =
        RunCommand(QStringLiteral("env"), environment + QStringList{program} + arguments);
    if (result.exitCode == 127) {
        ADD_FAILURE() << program.toStdString()
                      << " is not installed (tools/install-deps.sh installs it)";
    }
    return result;
}

// An option, the operand PATH or an exit status, with the text that
// explains it.
struct Entry {
    QString tag;
    QString text;
};

int Indent(const QString& line) {
    int n = 0;
    while (n < line.size() && line[n] == u' ')
        ++n;
    return n;
}

// The help's table: an entry starts at the left margin ("  -o, --output
// DIR  text"), its text goes on in lines indented past the tags.
std::vector<Entry> HelpEntries(const QString& help) {
    std::vector<Entry> entries;
    static const QRegularExpression gap(QStringLiteral("\\s{2,}"));
    for (const QString& line : help.split(u'\n')) {
        if (line.trimmed().isEmpty() || Indent(line) == 0) {
            if (!entries.empty() && line.trimmed().isEmpty())
                break;
            continue;
        }
        if (Indent(line) < 10) {
            const QString body = line.trimmed();
            const auto match = gap.match(body);
            entries.push_back(match.hasMatch() ? Entry{body.left(match.capturedStart()),
                                                       body.mid(match.capturedEnd())}
                                               : Entry{body, QString()});
        } else if (!entries.empty()) {
            entries.back().text += u' ' + line.trimmed();
        }
    }
    for (Entry& entry : entries)
        entry.text = entry.text.simplified();
    return entries;
}

// The page as `man` shows it, one line per paragraph, in ASCII.
QString RenderedPage() {
    const CommandResult result = RunWith(
        {QStringLiteral("MANWIDTH=1000"), QStringLiteral("LC_ALL=C.UTF-8")}, QStringLiteral("man"),
        {QStringLiteral("-E"), QStringLiteral("ascii"), QStringLiteral("-l"), kManPage});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    return QString::fromUtf8(result.out);
}

// Section name -> its lines.
std::map<QString, QStringList> Sections(const QString& page) {
    std::map<QString, QStringList> sections;
    QString current;
    for (const QString& line : page.split(u'\n')) {
        if (!line.isEmpty() && Indent(line) == 0) {
            current = line.trimmed();
            sections[current];
        } else if (!current.isEmpty()) {
            sections[current].append(line);
        }
    }
    return sections;
}

// The tagged paragraphs of a section: the tag at the margin of 7, the text
// at 14, or both on one line when the tag is short.
std::vector<Entry> ManEntries(const QStringList& lines) {
    std::vector<Entry> entries;
    static const QRegularExpression tagAndText(QStringLiteral("^ {7}(\\S.*?) {2,}(\\S.*)$"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const bool nextIsText = i + 1 < lines.size() && Indent(lines[i + 1]) == 14;
        if (Indent(line) == 7) {
            const auto match = tagAndText.match(line);
            if (match.hasMatch() && match.capturedStart(2) == 14) {
                entries.push_back({match.captured(1), match.captured(2)});
            } else if (nextIsText) {
                entries.push_back({line.trimmed(), QString()});
            }
        } else if (Indent(line) == 14 && !entries.empty()) {
            entries.back().text += u' ' + line.trimmed();
        }
    }
    for (Entry& entry : entries)
        entry.text = entry.text.simplified();
    return entries;
}

QString HelpText() {
    const CommandResult help = RunCommand(kCropTool, {QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    return QString::fromLocal8Bit(help.out);
}

// "Exit status: 0 all written, 1 ..., 130 stopped." -> {0, 1, 130}
std::set<QString> HelpExitStatuses(const QString& help) {
    const qsizetype start = help.indexOf(QStringLiteral("Exit status:"));
    EXPECT_GE(start, 0) << "the help names no exit status";
    std::set<QString> statuses;
    if (start < 0)
        return statuses;
    const QString paragraph =
        help.mid(start + 12).section(QStringLiteral("\n\n"), 0, 0).simplified();
    static const QRegularExpression status(QStringLiteral("(?:^|, )(\\d+) "));
    for (auto it = status.globalMatch(paragraph); it.hasNext();)
        statuses.insert(it.next().captured(1));
    return statuses;
}

}  // namespace

// Every option and the operand in both, under the same synopsis, and the
// manual's paragraph opening with the help's words: the manual may say
// more, never something else.
TEST(ManPageTest, EveryOptionOfTheHelpIsInTheManualWithTheSameText) {
    const std::vector<Entry> help = HelpEntries(HelpText());
    const std::vector<Entry> manual =
        ManEntries(Sections(RenderedPage())[QStringLiteral("OPTIONS")]);
    ASSERT_GE(help.size(), 10U) << "the help's option table was not found";
    std::map<QString, QString> inManual;
    for (const Entry& entry : manual)
        inManual[entry.tag] = entry.text;
    std::set<QString> helpTags;
    for (const Entry& entry : help) {
        helpTags.insert(entry.tag);
        SCOPED_TRACE(entry.tag.toStdString());
        const auto found = inManual.find(entry.tag);
        if (found == inManual.end()) {
            ADD_FAILURE() << "not in the manual's OPTIONS";
            continue;
        }
        const QString& text = found->second;
        const bool opens =
            text.startsWith(entry.text) &&
            (text.size() == entry.text.size() || !text[entry.text.size()].isLetterOrNumber());
        EXPECT_TRUE(opens) << "help:   " << entry.text.toStdString()
                           << "\nmanual: " << text.toStdString();
    }
    for (const Entry& entry : manual) {
        EXPECT_TRUE(helpTags.count(entry.tag))
            << entry.tag.toStdString() << " is in the manual, not in --help";
    }
}

TEST(ManPageTest, TheExitStatusesAreThoseOfTheHelp) {
    const std::set<QString> help = HelpExitStatuses(HelpText());
    std::set<QString> manual;
    for (const Entry& entry : ManEntries(Sections(RenderedPage())[QStringLiteral("EXIT STATUS")])) {
        manual.insert(entry.tag);
    }
    EXPECT_EQ(manual, help);
    EXPECT_EQ(help, (std::set<QString>{"0", "1", "2", "130"}));
}

// man-db, lintian and whatis read the page too: no troff warning, the
// sections a manual page has, a NAME line whatis can index.
TEST(ManPageTest, RendersWithoutWarningsWithEverySection) {
    const CommandResult checked = RunWith(
        {QStringLiteral("MANWIDTH=80"), QStringLiteral("LC_ALL=C.UTF-8")}, QStringLiteral("man"),
        {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
         QStringLiteral("-l"), kManPage});
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_EQ(checked.err.toStdString(), "");

    const std::map<QString, QStringList> sections = Sections(RenderedPage());
    for (const char* name :
         {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES", "FILES"}) {
        EXPECT_TRUE(sections.count(QString::fromLatin1(name))) << "no section " << name;
    }
    bool rectFile = false;
    for (const Entry& entry :
         ManEntries(sections.count(QStringLiteral("FILES")) ? sections.at(QStringLiteral("FILES"))
                                                            : QStringList())) {
        rectFile = rectFile || entry.tag == QStringLiteral("RECT.DAT");
    }
    EXPECT_TRUE(rectFile) << "FILES does not describe RECT.DAT";

    const CommandResult whatis = RunWith({}, QStringLiteral("lexgrog"), {kManPage});
    EXPECT_EQ(whatis.exitCode, 0);
    EXPECT_TRUE(whatis.out.contains(": \"pelmora-crop - ")) << whatis.out.toStdString();
}

TEST(DesktopEntryTest, PassesTheValidatorAndStartsTheLauncher) {
    const CommandResult result =
        RunWith({}, QStringLiteral("desktop-file-validate"), {kDesktopEntry});
    EXPECT_EQ(result.exitCode, 0);
    // It prints hints and warnings as well as errors.
    EXPECT_EQ((result.out + result.err).toStdString(), "");
    const QString entry = ReadText(kDesktopEntry);
    static const QRegularExpression exec(QStringLiteral("^Exec=(.*)$"),
                                         QRegularExpression::MultilineOption);
    const QString command = exec.match(entry).captured(1);
    EXPECT_TRUE(QDir::isAbsolutePath(command)) << command.toStdString();
    EXPECT_EQ(QFileInfo(command).fileName(), QStringLiteral("zureda"));
}

namespace {

struct Metainfo {
    QString id;
    QString launchable;
    QString name;
    QString release;
    QStringList images;
};

Metainfo ReadMetainfo(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    Metainfo info;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == u"release") {
            info.release = xml.attributes().value(QStringLiteral("version")).toString();
        } else if (name == u"id") {
            info.id = xml.readElementText();
        } else if (name == u"launchable") {
            info.launchable = xml.readElementText();
        } else if (name == u"name" && !xml.attributes().hasAttribute(QStringLiteral("xml:lang"))) {
            info.name = xml.readElementText();
        } else if (name == u"image") {
            info.images.append(xml.readElementText());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return info;
}

}  // namespace

TEST(AppStreamTest, PassesTheValidatorAndAgreesWithTheDesktopEntry) {
    // The validator does not know the .example top-level domain of the
    // component id; every other hint fails the test.
    const CommandResult result =
        RunWith({}, QStringLiteral("appstreamcli"),
                {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"),
                 QStringLiteral("--override=cid-maybe-not-rdns=pedantic"), kMetainfo});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString() << result.err.toStdString();

    const Metainfo info = ReadMetainfo(kMetainfo);
    EXPECT_EQ(QFileInfo(kMetainfo).fileName(), info.id + QStringLiteral(".metainfo.xml"));
    EXPECT_EQ(info.launchable, QFileInfo(kDesktopEntry).fileName());
    EXPECT_TRUE(ReadText(kDesktopEntry).contains(QStringLiteral("\nName=") + info.name + u'\n'));
    EXPECT_EQ(info.release, QStringLiteral(PELMORA_VERSION_TEXT));
}

// The screenshots are published from docs/screenshots/: one that was renamed
// or removed there would be a broken picture in the software centre.
TEST(AppStreamTest, EveryScreenshotIsOneOfTheProjectsScreenshots) {
    const Metainfo info = ReadMetainfo(kMetainfo);
    ASSERT_FALSE(info.images.isEmpty());
    for (const QString& image : info.images) {
        EXPECT_TRUE(image.startsWith(QStringLiteral("https://"))) << image.toStdString();
        const QString name = image.section(u'/', -1);
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(PELMORA_SCREENSHOTS) + u'/' + name))
            << image.toStdString();
    }
}

namespace {

const QString kInstallDir = QStringLiteral(PELMORA_PROGRAM_INSTALL_DIR);

CommandResult Install(const QStringList& environment, const QString& prefix) {
    return RunWith(environment, QStringLiteral(PELMORA_CMAKE),
                   {QStringLiteral("--install"), QStringLiteral(PELMORA_BUILD_DIR),
                    QStringLiteral("--prefix"), prefix});
}

QString ExecOf(const QString& entry) {
    static const QRegularExpression exec(QStringLiteral("^Exec=(.*)$"),
                                         QRegularExpression::MultilineOption);
    return exec.match(ReadText(entry)).captured(1);
}

// Every file and link below `root`, relative to it.
std::set<QString> FilesBelow(const QString& root) {
    std::set<QString> files;
    QDir dir(root);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& name : entries) {
        const QFileInfo info(dir.filePath(name));
        if (info.isDir() && !info.isSymLink()) {
            for (const QString& inner : FilesBelow(info.filePath()))
                files.insert(name + u'/' + inner);
        } else {
            files.insert(name);
        }
    }
    return files;
}

}  // namespace

// The README's install: into a prefix in the home folder, with the menu
// entry and icon also where the desktop looks for the user's own programs.
TEST(InstallTest, AHomeInstallPutsTheProgramsTogetherAndTheEntryInTheMenu) {
    QTemporaryDir home;
    const QString data = home.path() + QStringLiteral("/data");
    const QString prefix = home.path() + QStringLiteral("/Pelmora");
    const CommandResult installed = Install(
        {QStringLiteral("HOME=") + home.path(), QStringLiteral("XDG_DATA_HOME=") + data}, prefix);
    ASSERT_EQ(installed.exitCode, 0) << installed.err.toStdString();

    const QString programs = QDir::cleanPath(prefix + u'/' + kInstallDir);
    for (const char* name : {"zureda", "pelmora.bin", "pelmora-crop", "pelmora-crop-formats.so",
                             "licensef.txt", "licensef_e.txt"}) {
        EXPECT_TRUE(QFileInfo::exists(programs + u'/' + QString::fromLatin1(name))) << name;
    }
    EXPECT_EQ(ExecOf(prefix + QStringLiteral("/share/applications/pelmora.desktop")),
              programs + QStringLiteral("/zureda"));
    EXPECT_EQ(ExecOf(data + QStringLiteral("/applications/pelmora.desktop")),
              programs + QStringLiteral("/zureda"));
    EXPECT_TRUE(
        QFileInfo::exists(data + QStringLiteral("/icons/hicolor/128x128/apps/pelmora.png")));
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/man/man1/pelmora-crop.1")));
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/metainfo/") +
                                  QFileInfo(kMetainfo).fileName()));

    // The installed tool runs from there, through the link on the PATH when
    // the programs have a folder of their own.
    const QString tool = kInstallDir == QStringLiteral(".")
                             ? programs + QStringLiteral("/pelmora-crop")
                             : prefix + QStringLiteral("/bin/pelmora-crop");
    const CommandResult version = RunCommand(tool, {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.toStdString(), "pelmora-crop " PELMORA_VERSION_TEXT "\n");
}

// A package is staged under DESTDIR: everything lands there, the entry
// names the final place, and the builder's home folder gets nothing.
TEST(InstallTest, AStagedInstallWritesOnlyIntoTheStage) {
    QTemporaryDir root;
    const QString home = root.path() + QStringLiteral("/home");
    const QString stage = root.path() + QStringLiteral("/stage");
    QDir().mkpath(home);
    const CommandResult installed =
        Install({QStringLiteral("HOME=") + home, QStringLiteral("XDG_DATA_HOME=") + home,
                 QStringLiteral("DESTDIR=") + stage},
                QStringLiteral("/usr"));
    ASSERT_EQ(installed.exitCode, 0) << installed.err.toStdString();
    EXPECT_TRUE(QDir(home).isEmpty());

    const QString programs = QDir::cleanPath(QStringLiteral("/usr/") + kInstallDir);
    EXPECT_EQ(ExecOf(stage + QStringLiteral("/usr/share/applications/pelmora.desktop")),
              programs + QStringLiteral("/zureda"));
    const std::set<QString> files = FilesBelow(stage + QStringLiteral("/usr"));
    const QString dir =
        kInstallDir == QStringLiteral(".") ? QString() : QDir::cleanPath(kInstallDir) + u'/';
    std::set<QString> expected{dir + "zureda",
                               dir + "pelmora.bin",
                               dir + "pelmora-crop",
                               dir + "pelmora-crop-formats.so",
                               dir + "licensef.txt",
                               dir + "licensef_e.txt",
                               "share/applications/pelmora.desktop",
                               "share/icons/hicolor/128x128/apps/pelmora.png",
                               "share/man/man1/pelmora-crop.1",
                               "share/metainfo/" + QFileInfo(kMetainfo).fileName()};
    if (kInstallDir != QStringLiteral(".")) {
        expected.insert(QStringLiteral("bin/pelmora-crop"));
        EXPECT_EQ(QFileInfo(stage + QStringLiteral("/usr/bin/pelmora-crop")).symLinkTarget(),
                  stage + QStringLiteral("/usr/") + dir + QStringLiteral("pelmora-crop"));
    }
    std::set<QString> cleaned;
    for (const QString& name : expected)
        cleaned.insert(QDir::cleanPath(name));
    EXPECT_EQ(files, cleaned);
}

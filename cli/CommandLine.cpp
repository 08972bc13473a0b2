#include "cli/CommandLine.h"

#include "croprects/RectFile.h"
#include "croprects/RectSpec.h"
#include "platform/PathUtils.h"

#include <optional>

namespace {

// 1 TB: far beyond any machine this runs on, far below overflow.
constexpr int kMaxMemoryMbLimit = 1 << 20;

// Walks the arguments, handing out option values in both "--opt value" and
// "--opt=value" forms.
class ArgumentReader {
  public:
    explicit ArgumentReader(const QStringList& arguments) : arguments_(arguments) {}

    bool AtEnd() const { return index_ >= arguments_.size(); }
    QString Next() {
        QString argument = arguments_[index_++];
        inlineValue_.reset();
        if (argument.startsWith(QStringLiteral("--")) && argument.contains(u'=')) {
            const qsizetype equals = argument.indexOf(u'=');
            inlineValue_ = argument.mid(equals + 1);
            argument.truncate(equals);
        }
        return argument;
    }
    bool Value(const QString& option, QString& value, QString& error) {
        if (inlineValue_) {
            value = *inlineValue_;
            inlineValue_.reset();
            return true;
        }
        if (AtEnd()) {
            error = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        value = arguments_[index_++];
        return true;
    }
    bool HasInlineValue() const { return inlineValue_.has_value(); }

  private:
    const QStringList& arguments_;
    qsizetype index_ = 0;
    std::optional<QString> inlineValue_;
};

bool ParseInteger(const QString& option, const QString& text, int low, int high, int& value,
                  QString& error) {
    bool ok = false;
    value = text.toInt(&ok);
    if (!ok || value < low || value > high) {
        error = QStringLiteral("%1 takes a number from %2 to %3, not \"%4\"")
                    .arg(option)
                    .arg(low)
                    .arg(high)
                    .arg(text);
        return false;
    }
    return true;
}

bool AddRectSpec(const QString& option, const QString& text, CliOptions& options, QString& error) {
    QString reason;
    const std::optional<CCropRect> rect = ParseRectSpec(text, &reason);
    if (!rect) {
        error = QStringLiteral(
                    "%1 \"%2\": %3; a rectangle is L,T,R,B in pixels (right and "
                    "bottom exclusive), L%,T%,R%,B% in percent or WxH+X+Y")
                    .arg(option, text, reason);
        return false;
    }
    // An empty or inverted rectangle would fail for every photo: it is a
    // mistake on the command line, not a failure of the crops.
    if (rect->IsInvalid()) {
        error = QStringLiteral(
                    "%1 \"%2\": empty rectangle; the right edge must lie right of "
                    "the left one and the bottom edge below the top one")
                    .arg(option, text);
        return false;
    }
    options.rects.push_back(*rect);
    return true;
}

bool AddRectFile(const QString& option, const QString& path, CliOptions& options, QString& error) {
    const RectFileContents file = ReadRectFile(path);
    if (!file.status.ok()) {
        error = QStringLiteral("%1 \"%2\": %3").arg(option, path, file.status.errorString());
        return false;
    }
    options.rects.insert(options.rects.end(), file.rects.begin(), file.rects.end());
    return true;
}

bool ParseMode(const QString& option, const QString& text, CliOptions& options, QString& error) {
    if (text == QStringLiteral("lossless")) {
        options.settings.mode = CropMode::kLossless;
        return true;
    }
    if (text == QStringLiteral("recompress")) {
        options.settings.mode = CropMode::kRecompress;
        return true;
    }
    error = QStringLiteral("%1 takes lossless or recompress, not \"%2\"").arg(option, text);
    return false;
}

bool ParseOption(const QString& option, ArgumentReader& reader, CliOptions& options,
                 QString& error) {
    const auto flag = [&](bool& target) {
        if (reader.HasInlineValue()) {
            error = QStringLiteral("%1 takes no value").arg(option);
            return false;
        }
        target = true;
        return true;
    };
    if (option == u"-h" || option == u"--help")
        return flag(options.help);
    if (option == u"--version")
        return flag(options.version);
    if (option == u"--quiet")
        return flag(options.quiet);
    if (option == u"--verbose")
        return flag(options.verbose);
    if (option == u"--exact")
        return flag(options.settings.exact);
    if (option == u"--keep-exif-thumbnail") {
        bool keep = false;
        if (!flag(keep))
            return false;
        options.settings.metadata.rebuildExifThumbnail = false;
        return true;
    }
    if (option == u"--keep-exif")
        return flag(options.settings.metadata.keepExifOnRecompress);

    QString value;
    if (option == u"-o" || option == u"--output") {
        return reader.Value(option, options.outputFolder, error);
    }
    if (option == u"-r" || option == u"--rect") {
        return reader.Value(option, value, error) && AddRectSpec(option, value, options, error);
    }
    if (option == u"--rects") {
        return reader.Value(option, value, error) && AddRectFile(option, value, options, error);
    }
    if (option == u"-m" || option == u"--mode") {
        return reader.Value(option, value, error) && ParseMode(option, value, options, error);
    }
    if (option == u"-q" || option == u"--quality") {
        return reader.Value(option, value, error) &&
               ParseInteger(option, value, 1, 100, options.settings.quality, error);
    }
    if (option == u"-j" || option == u"--jobs") {
        return reader.Value(option, value, error) &&
               ParseInteger(option, value, 1, 256, options.jobs, error);
    }
    if (option == u"--max-memory") {
        return reader.Value(option, value, error) &&
               ParseInteger(option, value, 1, kMaxMemoryMbLimit, options.maxMemoryMb, error);
    }
    error = QStringLiteral("unknown option %1").arg(option);
    return false;
}

bool CheckComplete(const CliOptions& options, QString& error) {
    if (options.paths.isEmpty()) {
        error = QStringLiteral("no PATH given");
    } else if (options.outputFolder.isEmpty()) {
        error = QStringLiteral("no output folder given (--output DIR)");
    } else if (GetPathKind(options.outputFolder) != kPathFolder) {
        error =
            QStringLiteral("--output \"%1\" is not an existing folder").arg(options.outputFolder);
    } else if (options.rects.empty()) {
        error = QStringLiteral("no rectangle given (--rect SPEC or --rects FILE)");
    } else {
        return true;
    }
    return false;
}

}  // namespace

bool ParseCommandLine(const QStringList& arguments, CliOptions& options, QString& error) {
    ArgumentReader reader(arguments);
    bool optionsEnded = false;
    while (!reader.AtEnd()) {
        const QString argument = reader.Next();
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument.startsWith(u'-')) {
            if (!ParseOption(argument, reader, options, error))
                return false;
        } else {
            options.paths.append(argument);
        }
    }
    if (options.help || options.version)
        return true;
    return CheckComplete(options, error);
}

QString UsageText() {
    return QStringLiteral(
        "Usage: pelmora-crop [options] PATH...\n"
        "Crops every JPEG file by every rectangle into one folder, under names that\n"
        "never overwrite anything.\n"
        "\n"
        "  PATH                 JPEG files or folders; folders are searched recursively\n"
        "                       (a sub-folder named _PAGE_ is skipped; only .jpg and\n"
        "                       .jpeg names are taken)\n"
        "  -o, --output DIR     output folder (must exist)\n"
        "  -r, --rect SPEC      a crop rectangle, repeatable, kept in order:\n"
        "                       \"L,T,R,B\" in pixels (right and bottom exclusive),\n"
        "                       \"L%,T%,R%,B%\" in percent of width and height, or\n"
        "                       \"WxH+X+Y\" in pixels\n"
        "      --rects FILE     rectangles from a file in the RECT.DAT format\n"
        "  -m, --mode MODE      lossless (default) or recompress\n"
        "  -q, --quality N      1..100 for recompress (default 80)\n"
        "  -j, --jobs N         worker threads (default: number of cores)\n"
        "      --max-memory MB  refuse a picture whose crop or decode alone would need\n"
        "                       more than MB megabytes (default: half of the\n"
        "                       machine's memory); raise it for a huge panorama\n"
        "      --quiet          no progress bar\n"
        "      --verbose        one line per written pair: SOURCE -> OUTPUT WxH+X+Y,\n"
        "                       and one per file skipped for its name\n"
        "      --exact          refuse a lossless pair whose written region would\n"
        "                       differ from the one asked for\n"
        "      --keep-exif-thumbnail\n"
        "                       copy an embedded Exif thumbnail as it is instead of\n"
        "                       replacing it by a thumbnail of the crop\n"
        "      --keep-exif      recompress: carry the Exif block over (with true\n"
        "                       dimensions and a thumbnail of the crop)\n"
        "  -h, --help           this text\n"
        "      --version        the version\n"
        "\n"
        "Exit status: 0 all pairs written, 1 a pair failed or a folder could not be\n"
        "searched, 2 bad usage, 130 stopped by Ctrl-C.\n");
}

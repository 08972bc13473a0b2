// Writes every target's seed corpus below the folder named on the command
// line: <folder>/<target>/<seed>. Run by the build, never by hand.

#include "fuzz/FuzzSeeds.h"
#include "fuzz/FuzzTargets.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const FuzzTarget& target : AllFuzzTargets()) {
        const QString name = QString::fromLatin1(target.name);
        const QString folder = root + u'/' + name;
        if (!QDir().mkpath(folder))
            return 1;
        const std::vector<NamedSeed> seeds = MakeFuzzSeeds(name);
        if (seeds.empty())
            return 1;
        for (const auto& [seed, data] : seeds) {
            QFile file(folder + u'/' + seed);
            if (data.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(data) != data.size()) {
                std::fprintf(stderr, "cannot write the seed %s/%s\n", target.name,
                             seed.toLocal8Bit().constData());
                return 1;
            }
        }
    }
    return 0;
}

// Replays every fuzz target on its seeds and on each input kept in
// fuzz/regressions/<target>/: inputs that once crashed a target, tripped a
// sanitizer or broke one of the targets' checks. A target aborts on a broken
// check, so a failure here shows as a crashed test with the target's message.

#include "fuzz/FuzzSeeds.h"
#include "fuzz/FuzzTargets.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using testing_support::ReadBytes;

const QString kRegressions = QStringLiteral(PELMORA_FUZZ_REGRESSIONS);

int RunTarget(const FuzzTarget& target, const QByteArray& input) {
    return target.run(reinterpret_cast<const std::uint8_t*>(input.constData()),
                      static_cast<std::size_t>(input.size()));
}

class FuzzRegressionTest : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzRegressionTest, SeedsPassTheTargetsChecks) {
    const FuzzTarget& target = GetParam();
    const std::vector<NamedSeed> seeds = MakeFuzzSeeds(QString::fromLatin1(target.name));
    ASSERT_FALSE(seeds.empty());
    for (const auto& [name, data] : seeds) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(RunTarget(target, data), 0);
    }
}

TEST_P(FuzzRegressionTest, RegressionInputsPass) {
    const FuzzTarget& target = GetParam();
    const QDir folder(kRegressions + u'/' + QString::fromLatin1(target.name));
    const QFileInfoList inputs = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& input : inputs) {
        SCOPED_TRACE(input.fileName().toStdString());
        EXPECT_EQ(RunTarget(target, ReadBytes(input.filePath())), 0);
    }
}

// Short inputs, including those shorter than a crop target's header.
TEST_P(FuzzRegressionTest, TinyInputsPass) {
    const FuzzTarget& target = GetParam();
    for (const QByteArray& input : {QByteArray(), QByteArray(1, '\xFF'), QByteArray(8, '\0'),
                                    QByteArray::fromHex("000000000000000000ffd8ff")}) {
        EXPECT_EQ(RunTarget(target, input), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, FuzzRegressionTest, ::testing::ValuesIn(AllFuzzTargets()),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

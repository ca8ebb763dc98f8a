#include "tests/support/DelegateHarness.h"

#include "Platform/PropertyList/PropertyList.h"

#include <QDir>
#include <QFile>

// Every input in the fuzzer's corpus (its seeds, and any input that once made it fail) read
// through the property-list reader and through discovery, as the fuzzer does.
class FuzzCorpusTest : public DelegateTest {};

TEST_F(FuzzCorpusTest, EveryInputReadsTheSameFromMemoryAndFromABundle)
{
    const QDir corpus(QStringLiteral(FOLDWISE_SOURCE_DIR "/tests/fuzz/corpus"));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    const QString acrobat = apps + QStringLiteral("/Acrobat.app");
    fakes.registry->applications = {acrobat};
    ALAppDelegate& d = makeDelegate();
    int acrobats = 0;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const std::optional<QVariantMap> fromMemory = Platform::PropertyList::dictionaryFromData(bytes);

        Fixtures::writeFile(acrobat + QStringLiteral("/Contents/Info.plist"), bytes);
        EXPECT_EQ(
            Platform::PropertyList::dictionaryWithContentsOfFile(acrobat + QStringLiteral("/Contents/Info.plist")),
            fromMemory);
        d.searchForAcrobat();
        const QVariant identifier = fromMemory ? fromMemory->value(QStringLiteral("CFBundleIdentifier")) : QVariant();
        const bool isAcrobat = identifier.typeId() == QMetaType::QString
            && identifier.toString() == QStringLiteral("com.adobe.Acrobat.Pro");
        ASSERT_EQ(d.acrobatInstances().size(), isAcrobat ? 1 : 0);
        if (isAcrobat) {
            ++acrobats;
            const QVariantMap record = d.acrobatInstances().first();
            const std::optional<QString> version =
                Platform::textOf(fromMemory->value(QStringLiteral("CFBundleShortVersionString")));
            EXPECT_EQ(record.contains(ALKey::Version), version.has_value());
            EXPECT_EQ(record.value(ALKey::Version).toString(), version.value_or(QString()));
        }
    }
    EXPECT_GT(acrobats, 0) << "the seeds include Acrobats";
}

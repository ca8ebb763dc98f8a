#include "PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <vector>

using Platform::PropertyList;

namespace {

QByteArray xmlPlist(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n"
        + body + "\n</plist>\n";
}

QByteArray nestedArraysXml(int levels)
{
    return xmlPlist("<dict><key>deep</key>" + QByteArray("<array>").repeated(levels)
        + QByteArray("</array>").repeated(levels) + "</dict>");
}

QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xFF);
    return bytes;
}

// Assembles a binary property list from encoded objects; references are four bytes wide.
QByteArray binaryPlist(const std::vector<QByteArray>& objects)
{
    QByteArray out = "bplist00";
    std::vector<quint64> offsets;
    for (const QByteArray& object : objects) {
        offsets.push_back(quint64(out.size()));
        out += object;
    }
    const quint64 tableOffset = quint64(out.size());
    for (const quint64 offset : offsets)
        out += bigEndian(offset, 4);
    out += QByteArray(6, '\0') + char(4) + char(4);
    out += bigEndian(objects.size(), 8) + bigEndian(0, 8) + bigEndian(tableOffset, 8);
    return out;
}

QByteArray arrayObject(const std::vector<quint64>& refs)
{
    QByteArray object(1, char(0xA0 | refs.size()));
    for (const quint64 ref : refs)
        object += bigEndian(ref, 4);
    return object;
}

// Object 0 is {"deep": object 2}, object 1 the key, then `levels` nested arrays.
QByteArray nestedArraysBinary(int levels)
{
    std::vector<QByteArray> objects = {QByteArray(1, char(0xD1)) + bigEndian(1, 4) + bigEndian(2, 4), "\x54" "deep"};
    for (int level = 0; level < levels - 1; ++level)
        objects.push_back(arrayObject({quint64(3 + level)}));
    objects.push_back(arrayObject({}));
    return binaryPlist(objects);
}

QByteArray toBinary(plist_t root)
{
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray data(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(root);
    return data;
}

class PropertyListFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray& contents, const QString& name = QStringLiteral("Info.plist"))
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }

    QTemporaryDir m_folder;
};

}  // namespace

TEST_F(PropertyListFileTest, ReadsEveryXmlValueType)
{
    const QString path = write(xmlPlist(R"(<dict>
        <key>Name</key><string>Caf&#233; &lt;b&gt; 中文</string>
        <key>Yes</key><true/>
        <key>No</key><false/>
        <key>Count</key><integer>42</integer>
        <key>Negative</key><integer>-5</integer>
        <key>Ratio</key><real>2.5</real>
        <key>Blob</key><data>AAEC/w==</data>
        <key>When</key><date>2001-01-02T00:00:10Z</date>
        <key>List</key><array><string>a</string><dict><key>k</key><integer>1</integer></dict></array>
        <key>Empty</key><dict/>
    </dict>)"));

    const std::optional<QVariantMap> map = PropertyList::dictionaryWithContentsOfFile(path);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("Name"), QVariant(QString::fromUtf8("Café <b> 中文")));
    EXPECT_EQ(map->value("Yes").typeId(), QMetaType::Bool);
    EXPECT_TRUE(map->value("Yes").toBool());
    EXPECT_FALSE(map->value("No").toBool());
    EXPECT_EQ(map->value("Count"), QVariant(qlonglong(42)));
    EXPECT_EQ(map->value("Negative"), QVariant(qlonglong(-5)));
    EXPECT_EQ(map->value("Ratio"), QVariant(2.5));
    EXPECT_EQ(map->value("Blob"), QVariant(QByteArray("\x00\x01\x02\xff", 4)));
    EXPECT_EQ(map->value("When").toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0, 10), Qt::UTC));
    const QVariantList list = map->value("List").toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0], QVariant(QStringLiteral("a")));
    EXPECT_EQ(list[1].toMap().value("k"), QVariant(qlonglong(1)));
    EXPECT_EQ(map->value("Empty").typeId(), QMetaType::QVariantMap);
}

TEST_F(PropertyListFileTest, ReadsBinaryWrittenByLibplist)
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "Identifier", plist_new_string("org.example.Tool"));
    plist_dict_set_item(root, "Big", plist_new_uint(1ULL << 40));
    plist_dict_set_item(root, "Flag", plist_new_bool(1));
    plist_dict_set_item(root, "Pi", plist_new_real(3.25));
    plist_dict_set_item(root, "Bytes", plist_new_data("xy\0z", 4));
    plist_dict_set_item(root, "Stamp", plist_new_date(86400, 500000));
    plist_dict_set_item(root, "Ref", plist_new_uid(7));
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("one"));
    plist_array_append_item(list, plist_new_array());
    plist_dict_set_item(root, "List", list);

    const std::optional<QVariantMap> map = PropertyList::dictionaryWithContentsOfFile(write(toBinary(root)));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("Identifier"), QVariant(QStringLiteral("org.example.Tool")));
    EXPECT_EQ(map->value("Big"), QVariant(qlonglong(1) << 40));
    EXPECT_EQ(map->value("Flag"), QVariant(true));
    EXPECT_EQ(map->value("Pi"), QVariant(3.25));
    EXPECT_EQ(map->value("Bytes"), QVariant(QByteArray("xy\0z", 4)));
    EXPECT_EQ(map->value("Stamp").toDateTime(),
              QDateTime(QDate(2001, 1, 2), QTime(0, 0, 0, 500), Qt::UTC));
    EXPECT_EQ(map->value("Ref"), QVariant(qulonglong(7)));
    const QVariantList items = map->value("List").toList();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], QVariant(QStringLiteral("one")));
    EXPECT_EQ(items[1].typeId(), QMetaType::QVariantList);
}

TEST_F(PropertyListFileTest, UnreadableFilesReadAsNothing)
{
    const QByteArray valid = xmlPlist("<dict><key>A</key><string>b</string></dict>");
    plist_t binaryRoot = plist_new_dict();
    plist_dict_set_item(binaryRoot, "A", plist_new_string("b"));
    const QByteArray binary = toBinary(binaryRoot);

    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(m_folder.filePath("missing.plist")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(m_folder.path()));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write("", "empty.plist")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write("\x89PNG garbage \x00\xff", "garbage.plist")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(valid.left(valid.size() / 2), "cut.plist")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(binary.left(binary.size() - 5), "cut.bplist")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write("bplist00", "header.bplist")));
    EXPECT_FALSE(PropertyList::dictionaryFromData(xmlPlist("<array><string>a</string></array>")));
    EXPECT_FALSE(PropertyList::dictionaryFromData(xmlPlist("<string>a</string>")));

    // The intact versions of the same files do read.
    EXPECT_TRUE(PropertyList::dictionaryFromData(valid));
    EXPECT_TRUE(PropertyList::dictionaryFromData(binary));
}

TEST_F(PropertyListFileTest, EveryPrefixOfABinaryFileIsHandled)
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "Name", plist_new_string("x"));
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_uint(1));
    plist_dict_set_item(root, "List", list);
    const QByteArray binary = toBinary(root);
    for (qsizetype length = 0; length < binary.size(); ++length)
        EXPECT_FALSE(PropertyList::dictionaryFromData(binary.left(length))) << "length " << length;
}

TEST_F(PropertyListFileTest, NestingBeyondTheLimitIsUnreadable)
{
    EXPECT_TRUE(PropertyList::dictionaryFromData(nestedArraysXml(500)));
    EXPECT_TRUE(PropertyList::dictionaryFromData(nestedArraysBinary(500)));
    EXPECT_FALSE(PropertyList::dictionaryFromData(nestedArraysXml(600)));
    EXPECT_FALSE(PropertyList::dictionaryFromData(nestedArraysBinary(600)));
    // Deep enough to overflow the stack of a recursive reader.
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(nestedArraysXml(1'000'000), "deep.plist")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(nestedArraysBinary(1'000'000), "deep.bplist")));
}

TEST_F(PropertyListFileTest, SharedAndCyclicBinaryObjects)
{
    const QByteArray rootToObject2 = QByteArray(1, char(0xD1)) + bigEndian(1, 4) + bigEndian(2, 4);

    // A string referred to three times is read three times.
    const std::vector<QByteArray> reused = {rootToObject2, "\x51k", arrayObject({3, 3, 3}), "\x51x"};
    const std::optional<QVariantMap> map = PropertyList::dictionaryFromData(binaryPlist(reused));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("k").toList(), QVariantList(3, QStringLiteral("x")));

    // 40 arrays each holding the next one twice describe a tree of 2^40 values.
    std::vector<QByteArray> doubling = {rootToObject2, "\x51k"};
    for (quint64 i = 2; i < 42; ++i)
        doubling.push_back(arrayObject({i + 1, i + 1}));
    doubling.push_back(arrayObject({}));
    EXPECT_FALSE(PropertyList::dictionaryFromData(binaryPlist(doubling)));

    // An array that holds itself.
    EXPECT_FALSE(PropertyList::dictionaryFromData(binaryPlist({rootToObject2, "\x51k", arrayObject({2})})));
}

TEST_F(PropertyListFileTest, BinaryKeysHoldingNulAreUnreadable)
{
    const auto withKey = [](const QByteArray& key) {
        return binaryPlist({QByteArray(1, char(0xD1)) + bigEndian(1, 4) + bigEndian(2, 4), key, "\x51v"});
    };
    EXPECT_TRUE(PropertyList::dictionaryFromData(withKey(QByteArray("\x53" "a-b", 4))));
    EXPECT_FALSE(PropertyList::dictionaryFromData(withKey(QByteArray("\x53" "a\0b", 4))));
    EXPECT_FALSE(PropertyList::dictionaryFromData(withKey(QByteArray("\x62\0a\0\0", 5))));
}

TEST_F(PropertyListFileTest, FilesOverTheSizeLimitAreUnreadable)
{
    const QByteArray document = xmlPlist("<dict><key>A</key><string>b</string></dict>");
    QByteArray padded = document;
    padded += QByteArray(64 * 1024 * 1024 - document.size() + 1, ' ');
    EXPECT_TRUE(PropertyList::dictionaryFromData(document));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(padded, "huge.plist")));
}

#include "Platform/PropertyList/PropertyList.h"
#include "Platform/PropertyList/PropertyListCache.h"
#include "tests/support/Fixtures.h"

#include <QDateTime>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define FOLDWISE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FOLDWISE_ADDRESS_SANITIZER 1
#endif
#endif

using Platform::PropertyList;

namespace {

QByteArray xmlPlist(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

using Fixtures::arrayObject;
using Fixtures::asciiObject;
using Fixtures::bigEndian;

// A binary property list from encoded objects whose first is {object 1: object 2}; references
// are `refSize` bytes wide.
QByteArray binaryPlist(std::vector<QByteArray> objects, int refSize = 4)
{
    objects.insert(objects.begin(), QByteArray(1, char(0xD1)) + bigEndian(1, refSize) + bigEndian(2, refSize));
    return Fixtures::binaryPlistOf(objects, refSize);
}

QByteArray nestedArraysXml(int levels)
{
    return xmlPlist("<dict><key>k</key>" + QByteArray("<array>").repeated(levels)
                    + QByteArray("</array>").repeated(levels) + "</dict>");
}

QByteArray nestedArraysBinary(int levels)
{
    std::vector<QByteArray> objects = {"\x51k"};
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

// A field of /proc/self/status in KB ("VmSize", "VmHWM"), or -1.
long statusKb(const char* field)
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            value = std::atol(line + length + 1);
    }
    std::fclose(status);
    return value;
}

// Reads the file in a child process and tells what became of it ("a dictionary", "nothing"), or
// "too much memory" when the child's resident memory grew by 32 MB or more. So that a reader gone
// wrong fails soon instead of taking the machine, the child gets two seconds of processor time
// (many times what any file within the limits takes, an eighth of what 130,000 references once
// took) and only 256 MB more address space than it starts with; the latter not under
// AddressSanitizer, whose shadow memory needs a huge address space (there the resident-memory
// check alone holds).
std::string readInBoundedChild(const QString& path)
{
    constexpr long kGrowthKb = 32 * 1024;
    const pid_t child = ::fork();
    if (child == 0) {
        const struct rlimit cpu = {2, 2};
        ::setrlimit(RLIMIT_CPU, &cpu);
#ifndef FOLDWISE_ADDRESS_SANITIZER
        const rlim_t space = rlim_t(statusKb("VmSize")) * 1024 + (rlim_t(256) << 20);
        const struct rlimit limit = {space, space};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        const long before = statusKb("VmHWM");
        bool read = false;
        try {
            read = PropertyList::dictionaryWithContentsOfFile(path).has_value();
        } catch (const std::bad_alloc&) {
            ::_exit(2);  // out of address space; never back into the test runner
        }
        const long grown = statusKb("VmHWM") - before;
        ::_exit(before < 0 || grown >= kGrowthKb ? 2 : read ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return "no child";
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    switch (WEXITSTATUS(status)) {
    case 0:
        return "nothing";
    case 1:
        return "a dictionary";
    case 2:
        return "too much memory";
    default:
        return "exit " + std::to_string(WEXITSTATUS(status));
    }
}

// The value of "k" in the document, or none when it reads as nothing.
std::optional<QVariant> valueOfK(const QByteArray& document)
{
    const std::optional<QVariantMap> map = PropertyList::dictionaryFromData(document);
    if (!map)
        return std::nullopt;
    return map->value(QStringLiteral("k"));
}

// Checks each document against the value of "k" it must give, the type included: numbers of
// every type compare equal in QVariant.
void expectValues(const std::vector<std::pair<QByteArray, std::optional<QVariant>>>& rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [document, expected] = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i << ": " << document.left(160).toStdString());
        const std::optional<QVariant> value = valueOfK(document);
        EXPECT_EQ(value.has_value(), expected.has_value());
        if (value && expected) {
            EXPECT_EQ(*value, *expected);
            EXPECT_EQ(value->typeId(), expected->typeId());
        }
    }
}

class PlatformPropertyListTest : public ::testing::Test {
protected:
    QString write(const QByteArray& contents)
    {
        const QString path = m_folder.filePath(QString::number(++m_files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }

    QTemporaryDir m_folder;
    int m_files = 0;
};

}  // namespace

TEST_F(PlatformPropertyListTest, ReadsEveryXmlValueType)
{
    const std::optional<QVariantMap> map = PropertyList::dictionaryWithContentsOfFile(write(xmlPlist(R"(<dict>
        <key>Name</key><string>Caf&#233; &lt;b&gt; 中文</string>
        <key>Yes</key><true/>
        <key>Count</key><integer>-5</integer>
        <key>Ratio</key><real>2.5</real>
        <key>Blob</key><data>AAEC/w==</data>
        <key>When</key><date>2001-01-02T00:00:10Z</date>
        <key>List</key><array><string>a</string><dict><key>k</key><integer>1</integer></dict></array>
    </dict>)")));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("Name"), QVariant(QString::fromUtf8("Café <b> 中文")));
    EXPECT_EQ(map->value("Yes"), QVariant(true));
    EXPECT_EQ(map->value("Count"), QVariant(qlonglong(-5)));
    EXPECT_EQ(map->value("Ratio"), QVariant(2.5));
    EXPECT_EQ(map->value("Blob"), QVariant(QByteArray("\x00\x01\x02\xff", 4)));
    EXPECT_EQ(map->value("When").toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0, 10), Qt::UTC));
    const QVariantList list = map->value("List").toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0], QVariant(QStringLiteral("a")));
    EXPECT_EQ(list[1].toMap().value("k"), QVariant(qlonglong(1)));
}

TEST_F(PlatformPropertyListTest, ReadsBinaryWrittenByLibplist)
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "Big", plist_new_uint(1ULL << 40));
    plist_dict_set_item(root, "Bytes", plist_new_data("xy\0z", 4));
    plist_dict_set_item(root, "Stamp", plist_new_date(86400, 500000));
    plist_dict_set_item(root, "Ref", plist_new_uid(7));
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("one"));
    plist_array_append_item(list, plist_new_bool(0));
    plist_dict_set_item(root, "List", list);

    const std::optional<QVariantMap> map = PropertyList::dictionaryWithContentsOfFile(write(toBinary(root)));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("Big"), QVariant(qlonglong(1) << 40));
    EXPECT_EQ(map->value("Bytes"), QVariant(QByteArray("xy\0z", 4)));
    EXPECT_EQ(map->value("Stamp").toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0, 0, 500), Qt::UTC));
    EXPECT_EQ(map->value("Ref"), QVariant(qulonglong(7)));
    EXPECT_EQ(map->value("List").toList(), (QVariantList{QStringLiteral("one"), false}));
}

TEST_F(PlatformPropertyListTest, DamagedOrNonDictionaryFilesReadAsNothing)
{
    const QByteArray xml = xmlPlist("<dict><key>A</key><string>b</string></dict>");
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "A", plist_new_array());
    const QByteArray binary = toBinary(root);
    ASSERT_TRUE(PropertyList::dictionaryFromData(xml));
    ASSERT_TRUE(PropertyList::dictionaryFromData(binary));

    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(m_folder.filePath("missing")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(m_folder.path()));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write("")));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write("\x89PNG\r\n\x1a garbage")));
    EXPECT_FALSE(PropertyList::dictionaryFromData(xml.left(xml.size() / 2)));
    for (qsizetype length = 0; length < binary.size(); ++length)
        EXPECT_FALSE(PropertyList::dictionaryFromData(binary.left(length))) << "length " << length;
    EXPECT_FALSE(PropertyList::dictionaryFromData(xmlPlist("<array><string>a</string></array>")));
    EXPECT_FALSE(PropertyList::dictionaryFromData(xmlPlist("<string>a</string>")));
}

TEST_F(PlatformPropertyListTest, NestingBeyondTheLimitIsUnreadable)
{
    // 512 levels of values at most, the dictionary included; an empty element is a level too.
    for (const int arrays : {511, 512}) {
        SCOPED_TRACE(arrays);
        const bool fits = arrays == 511;
        for (const QByteArray innermost : {"<array></array>", "<array/>"}) {
            const QByteArray xml = xmlPlist("<dict><key>k</key>" + QByteArray("<array>").repeated(arrays - 1)
                                            + innermost + QByteArray("</array>").repeated(arrays - 1) + "</dict>");
            EXPECT_EQ(PropertyList::dictionaryFromData(xml).has_value(), fits);
        }
        EXPECT_EQ(PropertyList::dictionaryFromData(nestedArraysBinary(arrays)).has_value(), fits);
    }
    // Deep enough to overflow the stack of a reader that recursed into each level unchecked.
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(nestedArraysXml(1'000'000))));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(nestedArraysBinary(1'000'000))));
}

TEST_F(PlatformPropertyListTest, BinaryGraphsBeyondTheLimitsAreUnreadable)
{
    // A string referred to three times is fine.
    const std::optional<QVariantMap> map =
        PropertyList::dictionaryFromData(binaryPlist({"\x51k", arrayObject({3, 3, 3}), "\x51x"}));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("k").toList(), QVariantList(3, QStringLiteral("x")));

    // 40 arrays each holding the next twice: a tree of 2^40 values.
    std::vector<QByteArray> doubling = {"\x51k"};
    for (quint64 i = 2; i < 42; ++i)
        doubling.push_back(arrayObject({i + 1, i + 1}));
    doubling.push_back(arrayObject({}));
    EXPECT_FALSE(PropertyList::dictionaryFromData(binaryPlist(doubling)));
    // An array holding itself.
    EXPECT_FALSE(PropertyList::dictionaryFromData(binaryPlist({"\x51k", arrayObject({2})})));
}

TEST_F(PlatformPropertyListTest, FilesOverTheSizeLimitAreUnreadable)
{
    const QByteArray xml = xmlPlist("<dict/>");
    const QByteArray largest = xml + QByteArray(PropertyList::kMaxFileSize - xml.size(), ' ');
    EXPECT_TRUE(PropertyList::dictionaryWithContentsOfFile(write(largest)));
    EXPECT_FALSE(PropertyList::dictionaryWithContentsOfFile(write(largest + ' ')));
    EXPECT_FALSE(PropertyList::dictionaryFromData(largest + ' '));
}

TEST_F(PlatformPropertyListTest, BinaryFilesAreReadOrRefusedInBoundedTimeAndMemory)
{
    // An array whose `count` references (`refSize` bytes each) all lead to object `ref`.
    auto sharingArray = [](quint64 count, quint64 ref, int refSize) {
        return "\xAF\x12" + bigEndian(count, 4) + bigEndian(ref, refSize).repeated(qsizetype(count));
    };
    // {k: [s, s, ...]}: one 256 KB string referred to 4,000 times, a gigabyte once copied out.
    const QByteArray sharedString =
        binaryPlist({"\x51k", sharingArray(4000, 3, 4), asciiObject(QByteArray(256 * 1024, 'x'))});
    // {k: [true, true, ...]}: a million references, one byte each, to one value.
    const QByteArray manyValues = binaryPlist({"\x51k", sharingArray(1'000'000, 3, 1), "\x09"}, 1);
    // {k: [7, 7, ...]}: 130,000 references to one integer, within the limits.
    const QByteArray manyReferences = binaryPlist({"\x51k", sharingArray(130'000, 3, 2), "\x10\x07"}, 2);
    // {k: [2^40, 2^40 + 1, ...]}: 16,000 integers of eight bytes.
    std::vector<QByteArray> integers = {"\x51k", "\xAF\x11" + bigEndian(16'000, 2)};
    for (quint64 i = 0; i < 16'000; ++i) {
        integers[1] += bigEndian(3 + i, 2);
        integers.push_back("\x13" + bigEndian((quint64(1) << 40) + i, 8));
    }
    // {k: [a0, a1, ...]}: 250 arrays that each claim 983,040 one-byte references, overlapping: a
    // reference runs over the next arrays' first bytes and a shared tail of references to an
    // integer. Each array's first reference is the next array, so that a reader that took each
    // array's references before counting them would hold all 250 lists at once.
    std::vector<QByteArray> overlapping = {"\x51k", "\xAF\x11" + bigEndian(250, 2)};
    for (quint64 i = 0; i < 250; ++i) {
        overlapping[1] += bigEndian(3 + i, 1);
        overlapping.push_back("\xAF\x12" + bigEndian(983'040, 4) + bigEndian(4 + i, 1));
    }
    overlapping.push_back("\x10\x07" + QByteArray(983'040, char(253)));

    const struct {
        const char* name;
        QByteArray file;
        const char* outcome;
    } rows[] = {
        {"shared string", sharedString, "nothing"},
        {"a million references", manyValues, "nothing"},
        {"130,000 references", manyReferences, "a dictionary"},
        {"16,000 integers", binaryPlist(integers, 2), "a dictionary"},
        {"overlapping arrays", binaryPlist(overlapping, 1), "nothing"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_LE(row.file.size(), PropertyList::kMaxFileSize);
        EXPECT_EQ(readInBoundedChild(write(row.file)), row.outcome);
    }
    const QVariantList read = PropertyList::dictionaryFromData(rows[3].file)->value("k").toList();
    ASSERT_EQ(read.size(), 16'000);
    EXPECT_EQ(read.last(), QVariant((qlonglong(1) << 40) + 15'999));

    // Sharing at the scale of real files still reads.
    const std::optional<QVariantMap> map = PropertyList::dictionaryWithContentsOfFile(
        write(binaryPlist({"\x51k", sharingArray(100, 3, 4), asciiObject(QByteArray(1024, 'x'))})));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->value("k").toList(), QVariantList(100, QString(1024, QLatin1Char('x'))));
}

// Documents written from the format's rules, each with the value Foundation gives.
TEST_F(PlatformPropertyListTest, XmlValuesFollowFoundationsRules)
{
    auto k = [](const QByteArray& value) { return xmlPlist("<dict><key>k</key>" + value + "</dict>"); };
    const QByteArray plain = "<plist version=\"1.0\"><dict><key>k</key><string>caf\xc3\xa9</string></dict></plist>";
    auto utf16 = [&](QStringConverter::Encoding encoding) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder(QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + plain)));
    };
    const QVariant cafe = QString::fromUtf8("caf\xc3\xa9");
    const QDateTime y1800(QDate(1800, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime y4001(QDate(4001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    const std::optional<QVariant> unreadable;
    expectValues({
        // Declarations, byte-order marks and encodings.
        {"<?xml version=\"0.01\" encoding=\"UTF-8\"?>" + plain, cafe},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + plain, cafe},
        {"\xEF\xBB\xBF" + plain, cafe},
        {utf16(QStringConverter::Utf16LE), cafe},
        {utf16(QStringConverter::Utf16BE), cafe},
        {"<?xml version=\"1.0\" encoding=\"macintosh\"?><plist><dict><key>k</key><string>caf\x8e \xdb</string>"
         "</dict></plist>",
         QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac")},
        {"<?xml version=\"1.0\" encoding=\"x-unknown\"?>" + plain, unreadable},
        {"<dict><key>k</key><string>bare</string></dict>", QStringLiteral("bare")},
        {"<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"
             + plain,
         cafe},
        // Declarations that could expand, or that leave an entity to a file never read.
        {"<!DOCTYPE plist [<!ENTITY a \"x\">]>" + plain, unreadable},
        {"<!DOCTYPE plist [<!ELEMENT plist ANY>]>" + plain, unreadable},
        {"<!DOCTYPE plist SYSTEM \"plist.dtd\"><plist><dict><key>k</key><string>&a;</string></dict></plist>",
         unreadable},
        // Text as XML reads it.
        {k("<string>a\r\nb\rc&#13;</string>"), QStringLiteral("a\nb\nc\r")},
        {k("<string>&#93;]&gt;<!-- - --><![CDATA[<&>]]>&#x4E2D;</string>"), QString::fromUtf8("]]><&>\xe4\xb8\xad")},
        {k("<string/>"), QString()},
        // Integers: base 10 or 16, a sign, 64 bits, unsigned above 2^63 - 1.
        {k("<integer>0123</integer>"), qlonglong(123)},
        {k("<integer> +42\n</integer>"), qlonglong(42)},
        {k("<integer>-0</integer>"), qlonglong(0)},
        {k("<integer>-9223372036854775808</integer>"), std::numeric_limits<qlonglong>::min()},
        {k("<integer>9223372036854775807</integer>"), std::numeric_limits<qlonglong>::max()},
        {k("<integer>9223372036854775808</integer>"), qulonglong(1) << 63},
        {k("<integer>18446744073709551615</integer>"), std::numeric_limits<qulonglong>::max()},
        {k("<integer>18446744073709551616</integer>"), unreadable},
        {k("<integer>-9223372036854775809</integer>"), unreadable},
        {k("<integer>42xy</integer>"), unreadable},
        {k("<integer>%d</integer>"), unreadable},
        {k("<integer>${VAR}</integer>"), unreadable},
        {k("<integer>0x1f</integer>"), qlonglong(31)},
        {k("<integer> -0XA0\n</integer>"), qlonglong(-160)},
        {k("<integer>0xFFFFFFFFFFFFFFFF</integer>"), std::numeric_limits<qulonglong>::max()},
        {k("<integer>-0x8000000000000000</integer>"), std::numeric_limits<qlonglong>::min()},
        {k("<integer>0x10000000000000000</integer>"), unreadable},
        {k("<integer>0x</integer>"), unreadable},
        {k("<integer>0x1g</integer>"), unreadable},
        {k("<integer>x10</integer>"), unreadable},
        {k("<integer>0b10</integer>"), unreadable},
        {k("<integer>4 2</integer>"), unreadable},
        {k("<integer/>"), unreadable},
        {k("<integer>-</integer>"), unreadable},
        // Reals: C's notation whatever the locale.
        {k("<real>-1E+2</real>"), -100.0},
        {k("<real> 0.1 </real>"), 0.1},
        {k("<real>1,5</real>"), unreadable},
        {k("<real/>"), unreadable},
        // Dates, far from 1970 too.
        {k("<date>1800-01-01T00:00:00Z</date>"), y1800},
        {k("<date>4001-02-03T04:05:06Z</date>"), y4001},
        {k("<date>2001-02-29T00:00:00Z</date>"), unreadable},
        {k("<date>2001-01-01 00:00:00Z</date>"), unreadable},
        {k("<date>2001-01-01T00:00:00</date>"), unreadable},
        // Data: base64, white space ignored.
        {k("<data>\n\tAAEC\n\t/w==\n</data>"), QByteArray("\x00\x01\x02\xff", 4)},
        {k("<data>AA*=</data>"), unreadable},
        {k("<true></true>"), true},
        {k("<false>no</false>"), unreadable},
        // Keys: each followed by one value, only in a dictionary; the last of a repeated key holds.
        {xmlPlist("<dict><key>k</key><string>x</string><key>k</key><string>y</string></dict>"), QStringLiteral("y")},
        {xmlPlist("<dict><key/><string>x</string><key>k</key><true/></dict>"), true},
        {xmlPlist("<dict><key>k</key></dict>"), unreadable},
        {xmlPlist("<dict><key>k</key><key>j</key><string>x</string></dict>"), unreadable},
        {xmlPlist("<dict><string>x</string></dict>"), unreadable},
        {k("<array><key>a</key></array>"), unreadable},
        // Anything else that is no property list.
        {k("<string>b</strin>"), unreadable},
        {k("<vector/>"), unreadable},
        {k("<string>a<b/>c</string>"), unreadable},
        {k("<string>a<true/></string>"), unreadable},
        {xmlPlist("<dict>x<key>k</key><true/></dict>"), unreadable},
        {"<plist><dict><key>k</key><true/></dict><dict/></plist>", unreadable},
        {"<plist><plist><dict><key>k</key><true/></dict></plist></plist>", unreadable},
        {xmlPlist("<dict><key>k</key><true/></dict>") + "<!-- after -->", true},
        // Whatever follows the root's </plist> is not read, as Foundation does.
        {xmlPlist("<dict><key>k</key><true/></dict>") + "x <not/> </well>", true},
        {"<dict><key>k</key><true/></dict>x", unreadable},
    });
}

TEST_F(PlatformPropertyListTest, BinaryValuesFollowFoundationsRules)
{
    auto seconds = [](const QDateTime& date) {
        return bigEndian(std::bit_cast<quint64>(double(date.toSecsSinceEpoch() - 978307200)), 8);
    };
    const QDateTime y1800(QDate(1800, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime y4001(QDate(4001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    const QByteArray ones(8, char(0xFF));
    const QByteArray zeros(8, '\0');
    auto k = [](const QByteArray& value) { return binaryPlist({"\x51k", value}); };
    const std::optional<QVariant> unreadable;
    expectValues({
        // Integers of 1, 2 and 4 bytes are unsigned, of 8 signed, of 16 signed in 128 bits.
        {k("\x10\xFF"), qlonglong(255)},
        {k("\x12" + ones.left(4)), qlonglong(0xFFFFFFFF)},
        {k("\x13" + ones), qlonglong(-1)},
        {k("\x14" + zeros + ones), std::numeric_limits<qulonglong>::max()},
        {k("\x14" + ones + "\x80" + zeros.left(7)), std::numeric_limits<qlonglong>::min()},
        {k("\x14\x01" + zeros.left(7) + zeros), unreadable},
        {k("\x22" + bigEndian(std::bit_cast<quint32>(1.5f), 4)), 1.5},
        {k("\x23" + bigEndian(std::bit_cast<quint64>(-0.1), 8)), -0.1},
        {k("\x33" + seconds(y1800)), y1800},
        {k("\x33" + seconds(y4001)), y4001},
        {k("\x33" + bigEndian(std::bit_cast<quint64>(std::nan("")), 8)), unreadable},
        {k("\x08"), false},
        {k("\x09"), true},
        {k(QByteArray(1, '\0')), unreadable},
        {k(QByteArray("\x62\0a\x4e\x2d", 5)), QString::fromUtf8("a\xe4\xb8\xad")},
    });
    // A key holding NUL is a key like any other; a key that is no text is unreadable.
    const std::optional<QVariantMap> withNul =
        PropertyList::dictionaryFromData(binaryPlist({QByteArray("\x62\0k\0\0", 5), "\x51v"}));
    ASSERT_TRUE(withNul);
    EXPECT_EQ(withNul->value(QString(QStringLiteral("k")) + QChar(0)), QVariant(QStringLiteral("v")));
    EXPECT_FALSE(PropertyList::dictionaryFromData(binaryPlist({"\x10\x01", "\x51v"})));
}

TEST_F(PlatformPropertyListTest, CacheReadsAChangedFileAgain)
{
    const QString path = write(xmlPlist("<dict><key>A</key><string>1</string></dict>"));
    const Platform::PropertyListCache::Scope scope;
    EXPECT_EQ(Platform::PropertyListCache::dictionaryWithContentsOfFile(path)->value("A"), QVariant("1"));
    Fixtures::writeFile(path, xmlPlist("<dict><key>A</key><string>22</string></dict>"));
    EXPECT_EQ(Platform::PropertyListCache::dictionaryWithContentsOfFile(path)->value("A"), QVariant("22"));
}

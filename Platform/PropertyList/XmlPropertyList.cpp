#include "Platform/PropertyList/XmlPropertyList.h"

#include "Platform/PropertyList/MacRoman.h"
#include "Platform/PropertyList/PropertyListLimits.h"
#include "Platform/PropertyList/SaltedHash.h"

#include <QDate>
#include <QDateTime>
#include <QRandomGenerator>
#include <QTime>
#include <QVariantList>
#include <QVariantMap>

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <locale.h>
#include <map>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <strings.h>
#include <unordered_map>
#include <utility>
#include <vector>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace Platform::XmlPropertyList {

namespace {

enum class Element { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };

// Looked up for every tag: by the first letter, then the rest.
std::optional<Element> elementNamed(const char* name)
{
    const auto named = [name](const char* rest, Element element) -> std::optional<Element> {
        if (std::strcmp(name + 1, rest) == 0)
            return element;
        return std::nullopt;
    };
    switch (name[0]) {
    case 'k':
        return named("ey", Element::Key);
    case 's':
        return named("tring", Element::String);
    case 'd':
        if (const auto dict = named("ict", Element::Dict))
            return dict;
        if (const auto date = named("ate", Element::Date))
            return date;
        return named("ata", Element::Data);
    case 'a':
        return named("rray", Element::Array);
    case 'i':
        return named("nteger", Element::Integer);
    case 't':
        return named("rue", Element::True);
    case 'f':
        return named("alse", Element::False);
    case 'r':
        return named("eal", Element::Real);
    case 'p':
        return named("list", Element::Plist);
    default:
        return std::nullopt;
    }
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digit's value in base 16, or -1 when it is none.
int hexDigitValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The digits' value in base 10 or 16; none when one is no digit or the value needs over 64 bits.
std::optional<quint64> magnitudeOf(QByteArrayView digits, quint64 base)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint64 magnitude = 0;
    for (const char c : digits) {
        const int digit = base == 16 ? hexDigitValue(c) : isDigit(c) ? c - '0' : -1;
        if (digit < 0 || magnitude > (std::numeric_limits<quint64>::max() - quint64(digit)) / base)
            return std::nullopt;
        magnitude = magnitude * base + quint64(digit);
    }
    return magnitude;
}

std::optional<QVariant> integerValue(QByteArrayView text)
{
    const bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        text = text.sliced(1);
    const bool hex = text.startsWith("0x") || text.startsWith("0X");
    const std::optional<quint64> magnitude = magnitudeOf(hex ? text.sliced(2) : text, hex ? 16 : 10);
    if (!magnitude)
        return std::nullopt;
    constexpr quint64 kSignedMax = quint64(std::numeric_limits<qint64>::max());
    if (!negative)
        return *magnitude <= kSignedMax ? QVariant(qlonglong(*magnitude)) : QVariant(qulonglong(*magnitude));
    if (*magnitude > kSignedMax + 1)
        return std::nullopt;
    return QVariant(qlonglong(0 - *magnitude));
}

std::optional<QVariant> realValue(QByteArrayView text)
{
    // The same in every locale: a user's decimal comma must not change what a file says.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (text.isEmpty() || !cLocale)
        return std::nullopt;
    const QByteArray terminated = text.toByteArray();
    char* end = nullptr;
    const double value = strtod_l(terminated.constData(), &end, cLocale);
    if (end != terminated.constData() + terminated.size())
        return std::nullopt;
    return QVariant(value);
}

std::optional<QVariant> dateValue(QByteArrayView text)
{
    static constexpr char kPattern[] = "0000-00-00T00:00:00Z";
    if (text.size() != qsizetype(sizeof kPattern - 1))
        return std::nullopt;
    int fields[6] = {};
    int field = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (kPattern[i] != '0') {
            if (text[i] != kPattern[i])
                return std::nullopt;
            ++field;
        } else if (isDigit(text[i])) {
            fields[field] = fields[field] * 10 + (text[i] - '0');
        } else {
            return std::nullopt;
        }
    }
    const QDate date(fields[0], fields[1], fields[2]);
    const QTime time(fields[3], fields[4], fields[5]);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QVariant(QDateTime(date, time, Qt::UTC));
}

std::optional<QVariant> dataValue(QByteArrayView encoded)
{
    QByteArray text = encoded.toByteArray();
    text.removeIf(isSpace);
    QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return QVariant(std::move(decoded.decoded));
}

// The value of a leaf other than <key> and <string>, from its text.
std::optional<QVariant> leafValue(Element element, QByteArrayView text)
{
    switch (element) {
    case Element::Integer:
        return integerValue(text.trimmed());
    case Element::Real:
        return realValue(text.trimmed());
    case Element::Date:
        return dateValue(text.trimmed());
    case Element::Data:
        return dataValue(text);
    case Element::True:
    case Element::False:
        if (!text.isEmpty())
            return std::nullopt;
        return QVariant(element == Element::True);
    default:
        return std::nullopt;
    }
}

// Most keys and many short values (document roles, types, "en", "APPL") recur from one
// Info.plist to the next. Each such text is made once per thread and then shared; the table
// starts over when full, so that made-up names cannot make it grow, and long texts stay out.
class SharedTexts {
public:
    // Valid until the next call.
    const QString& text(std::string_view utf8)
    {
        if (utf8.size() > kMaxLength) {
            m_long = QString::fromUtf8(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
            return m_long;
        }
        if (const auto found = m_texts.find(utf8); found != m_texts.end())
            return found->second;
        if (m_texts.size() == kMaxTexts)
            m_texts.clear();
        return m_texts.emplace(utf8, QString::fromUtf8(QByteArrayView(utf8.data(), qsizetype(utf8.size()))))
            .first->second;
    }

private:
    static constexpr size_t kMaxLength = 64;
    static constexpr size_t kMaxTexts = 1024;

    std::unordered_map<std::string, QString, SaltedTextHash, std::equal_to<>> m_texts;
    QString m_long;
};

// A QVariant that takes the value over. QVariant's constructors copy it, which for a shared
// container costs an atomic count up, and another down when the original goes.
template <typename T>
QVariant variantTaking(T value)
{
    QVariant variant{QMetaType::fromType<T>()};
    *static_cast<T*>(variant.data()) = std::move(value);
    return variant;
}

// How far values have been read: every open element that holds values, with the values and keys
// read inside the open ones, innermost last. A container's values are taken off when it closes
// and become one value of its parent, so each list and map is made once, at its final size.
//
// Inside a leaf (<key>, <string>, a number...) other handlers are in place than between values,
// so that neither has to ask where it is: expat calls them for every piece of text and every tag.
class Reader {
public:
    Reader() : m_parser(XML_ParserCreate(nullptr)) {}
    ~Reader()
    {
        if (m_parser)
            XML_ParserFree(m_parser);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool busy() const { return m_busy; }

    std::optional<QVariant> read(const QByteArray& data)
    {
        if (!m_parser || !XML_ParserReset(m_parser, nullptr))
            return std::nullopt;
        m_busy = true;
        prepare();
        const bool parsed =
            (XML_Parse(m_parser, data.constData(), int(data.size()), XML_TRUE) == XML_STATUS_OK || m_ended)
            && !m_failed;
        std::optional<QVariant> root;
        if (parsed && m_values.size() == 1)
            root = std::move(m_values.front());
        m_open.clear();
        m_values.clear();
        m_keys.clear();
        m_busy = false;
        return root;
    }

private:
    // An open <dict>, <array> or <plist>, or the document itself, and where its values begin.
    // <plist> and the document hold one value, <dict> and <array> any number.
    struct Open {
        Element element;
        size_t firstValue;
        size_t firstKey;
    };

    static Reader& reader(void* self) { return *static_cast<Reader*>(self); }

    static void startBetween(void* self, const XML_Char* name, const XML_Char**) { reader(self).start(name); }
    static void endBetween(void* self, const XML_Char*) { reader(self).end(); }
    static void textBetween(void* self, const XML_Char* text, int length)
    {
        if (!std::all_of(text, text + length, isSpace))
            reader(self).fail();  // between values only white space
    }
    // A leaf holds text only.
    static void startInLeaf(void* self, const XML_Char*, const XML_Char**) { reader(self).fail(); }
    static void endInLeaf(void* self, const XML_Char*) { reader(self).endLeaf(); }
    static void textInLeaf(void* self, const XML_Char* text, int length)
    {
        reader(self).m_text.append(text, size_t(length));
    }

    void handleBetweenValues()
    {
        XML_SetElementHandler(m_parser, startBetween, endBetween);
        XML_SetCharacterDataHandler(m_parser, textBetween);
    }

    // A reset parser has no handlers and no salt.
    void prepare()
    {
        // Expat salts its hash tables against names chosen to collide. Left to itself it asks the
        // kernel for a new salt for every file, a system call per Info.plist; one secret salt per
        // process serves as well.
        static const auto salt = static_cast<unsigned long>(QRandomGenerator::system()->generate64() | 1);
        XML_SetHashSalt(m_parser, salt);
        XML_SetUserData(m_parser, this);
        handleBetweenValues();
        // Declarations could make a small file expand to a huge one: we take none.
        XML_SetParamEntityParsing(m_parser, XML_PARAM_ENTITY_PARSING_NEVER);
        XML_SetStartDoctypeDeclHandler(m_parser,
                                       [](void* self, const XML_Char*, const XML_Char*, const XML_Char*, int subset) {
                                           if (subset)
                                               reader(self).fail();
                                       });
        XML_SetEntityDeclHandler(m_parser,
                                 [](void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                    const XML_Char*, const XML_Char*, const XML_Char*) { reader(self).fail(); });
        // A reference to an entity the document leaves to an outside file that is never read.
        XML_SetSkippedEntityHandler(m_parser, [](void* self, const XML_Char*, int) { reader(self).fail(); });
        XML_SetUnknownEncodingHandler(m_parser, macRomanEncoding, nullptr);
        m_open.push_back({Element::Plist, 0, 0});
        m_depth = 0;
        m_failed = false;
        m_ended = false;
    }

    // Expat knows UTF-8, UTF-16, ISO-8859-1 and ASCII; older property lists may say "macintosh".
    static int macRomanEncoding(void*, const XML_Char* name, XML_Encoding* info)
    {
        if (!name || strcasecmp(name, "macintosh") != 0)
            return XML_STATUS_ERROR;
        for (int byte = 0; byte < 256; ++byte)
            info->map[byte] = macRomanToUnicode(static_cast<unsigned char>(byte));
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }

    // Foundation reads nothing after the root's </plist>: neither do we, whatever follows.
    void endDocument()
    {
        m_ended = true;
        XML_StopParser(m_parser, XML_FALSE);
    }

    // Stops at the first error; expat may still deliver what it had begun, which is ignored.
    void fail()
    {
        if (!m_failed)
            XML_StopParser(m_parser, XML_FALSE);
        m_failed = true;
    }

    bool keyWaiting(const Open& open) const
    {
        return m_keys.size() - open.firstKey > m_values.size() - open.firstValue;
    }

    void start(const char* name)
    {
        const std::optional<Element> element = elementNamed(name);
        if (m_failed || !element)
            return fail();
        if (*element == Element::Plist) {
            // Only around the root value.
            if (m_open.size() != 1)
                return fail();
            m_open.push_back({Element::Plist, m_values.size(), m_keys.size()});
            return;
        }
        // An empty element is a level like any other.
        if (++m_depth > PropertyListLimits::kMaxDepth)
            return fail();
        const Open& top = m_open.back();
        const bool isKey = *element == Element::Key;
        if (top.element == Element::Dict ? isKey == keyWaiting(top) : isKey)
            return fail();
        if (*element == Element::Dict || *element == Element::Array) {
            m_open.push_back({*element, m_values.size(), m_keys.size()});
            return;
        }
        m_leaf = *element;
        m_text.clear();
        XML_SetElementHandler(m_parser, startInLeaf, endInLeaf);
        XML_SetCharacterDataHandler(m_parser, textInLeaf);
    }

    void end()
    {
        if (m_failed)
            return;
        const Open open = m_open.back();
        m_open.pop_back();
        // The root value stays where it is, the document's one value.
        if (open.element == Element::Plist)
            return m_values.size() - open.firstValue == 1 ? endDocument() : fail();
        --m_depth;
        if (open.element == Element::Array)
            return place(takeList(open));
        if (keyWaiting(open))
            return fail();
        place(takeDictionary(open));
    }

    void endLeaf()
    {
        if (m_failed)
            return;
        handleBetweenValues();
        --m_depth;
        if (m_leaf == Element::Key)
            return m_keys.push_back(m_texts.text(m_text));
        if (m_leaf == Element::String)
            return place(QVariant(m_texts.text(m_text)));
        std::optional<QVariant> value = leafValue(m_leaf, m_text);
        if (!value)
            return fail();
        place(std::move(*value));
    }

    QVariant takeList(const Open& open)
    {
        const auto first = m_values.begin() + qsizetype(open.firstValue);
        QVariantList list(std::make_move_iterator(first), std::make_move_iterator(m_values.end()));
        m_values.erase(first, m_values.end());
        return variantTaking(std::move(list));
    }

    QVariant takeDictionary(const Open& open)
    {
        // Keys mostly come in order, so each entry usually goes in at the end after one
        // comparison; a key already there keeps the last value.
        std::map<QString, QVariant> entries;
        auto key = m_keys.begin() + qsizetype(open.firstKey);
        const auto first = m_values.begin() + qsizetype(open.firstValue);
        for (auto value = first; value != m_values.end(); ++value, ++key)
            entries.emplace_hint(entries.end(), std::move(*key), QVariant())->second = std::move(*value);
        m_keys.erase(m_keys.begin() + qsizetype(open.firstKey), m_keys.end());
        m_values.erase(first, m_values.end());
        return variantTaking(QVariantMap(std::move(entries)));
    }

    void place(QVariant&& value)
    {
        const Open& top = m_open.back();
        if (top.element == Element::Plist && m_values.size() > top.firstValue)
            return fail();
        m_values.push_back(std::move(value));
    }

    XML_Parser m_parser;
    bool m_busy = false;
    std::vector<Open> m_open;
    std::vector<QVariant> m_values;
    std::vector<QString> m_keys;
    SharedTexts m_texts;
    int m_depth = 0;  // open elements but <plist>
    Element m_leaf = Element::Plist;  // the open leaf, while one is open
    std::string m_text;  // its text so far
    bool m_failed = false;
    bool m_ended = false;  // the root's </plist> came
};

// Files larger than this get a parser of their own, so that what one large file made the
// parser and the stacks grow is not kept for the rest of the thread's life.
constexpr qsizetype kReusedUpTo = 64 * 1024;

}  // namespace

std::optional<QVariant> read(const QByteArray& data)
{
    // Each thread keeps one parser, reset for every file, and the texts that files share: a new
    // parser for each file would make a typical Info.plist some 7% dearer to read.
    static thread_local Reader reader;
    if (data.size() > kReusedUpTo || reader.busy())
        return Reader().read(data);
    return reader.read(data);
}

}  // namespace Platform::XmlPropertyList

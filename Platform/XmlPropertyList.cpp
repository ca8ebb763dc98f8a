#include "Platform/XmlPropertyList.h"

#include "Platform/PropertyList.h"

#include <QDate>
#include <QDateTime>
#include <QHashFunctions>
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
#include <unordered_map>
#include <utility>
#include <vector>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace Platform::XmlPropertyList {

namespace {

enum class Element { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };

std::optional<Element> elementNamed(const char* name)
{
    static constexpr std::pair<const char*, Element> known[] = {
        {"key", Element::Key},     {"string", Element::String},   {"dict", Element::Dict},
        {"array", Element::Array}, {"integer", Element::Integer}, {"true", Element::True},
        {"false", Element::False}, {"real", Element::Real},       {"date", Element::Date},
        {"data", Element::Data},   {"plist", Element::Plist},
    };
    for (const auto& [text, element] : known) {
        if (text[0] == name[0] && std::strcmp(text, name) == 0)
            return element;
    }
    return std::nullopt;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<QVariant> integerValue(QByteArrayView text)
{
    const bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    quint64 magnitude = 0;
    for (const char c : text) {
        const quint64 digit = quint64(c - '0');
        if (!isDigit(c) || magnitude > (std::numeric_limits<quint64>::max() - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    constexpr quint64 kSignedMax = quint64(std::numeric_limits<qint64>::max());
    if (!negative)
        return magnitude <= kSignedMax ? QVariant(qlonglong(magnitude)) : QVariant(qulonglong(magnitude));
    if (magnitude > kSignedMax + 1)
        return std::nullopt;
    return QVariant(qlonglong(0 - magnitude));
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
    QString text(std::string_view utf8)
    {
        if (utf8.size() > kMaxLength)
            return QString::fromUtf8(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
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

    // Salted, so that no file can choose texts that collide.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const
        {
            return qHash(QByteArrayView(text.data(), qsizetype(text.size())), QHashSeed::globalSeed());
        }
    };
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_texts;
};

// How far values have been read: every open element that holds values, with the values and keys
// read inside the open ones, innermost last. A container's values are taken off when it closes
// and become one value of its parent, so each list and map is made once, at its final size.
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
        const bool parsed = XML_Parse(m_parser, data.constData(), int(data.size()), XML_TRUE) == XML_STATUS_OK
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

    // A reset parser has no handlers and no salt.
    void prepare()
    {
        // Expat salts its hash tables against names chosen to collide. Left to itself it asks the
        // kernel for a new salt for every file, a system call per Info.plist; one secret salt per
        // process serves as well.
        static const auto salt = static_cast<unsigned long>(QRandomGenerator::system()->generate64() | 1);
        XML_SetHashSalt(m_parser, salt);
        XML_SetUserData(m_parser, this);
        XML_SetElementHandler(
            m_parser, [](void* self, const XML_Char* name, const XML_Char**) { reader(self).start(name); },
            [](void* self, const XML_Char*) { reader(self).end(); });
        XML_SetCharacterDataHandler(
            m_parser, [](void* self, const XML_Char* text, int length) { reader(self).text(text, length); });
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
        m_open.push_back({Element::Plist, 0, 0});
        m_depth = 0;
        m_leaf.reset();
        m_failed = false;
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
        if (m_failed || !element || m_leaf)
            return fail();
        if (*element == Element::Plist) {
            // Only around the root value.
            if (m_open.size() != 1)
                return fail();
            m_open.push_back({Element::Plist, m_values.size(), m_keys.size()});
            return;
        }
        // An empty element is a level like any other.
        if (++m_depth > PropertyList::kMaxDepth)
            return fail();
        const Open& top = m_open.back();
        const bool isKey = *element == Element::Key;
        if (top.element == Element::Dict ? isKey == keyWaiting(top) : isKey)
            return fail();
        if (*element == Element::Dict || *element == Element::Array) {
            m_open.push_back({*element, m_values.size(), m_keys.size()});
        } else {
            m_leaf = element;
            m_text.clear();
        }
    }

    void end()
    {
        if (m_failed)
            return;
        if (m_leaf)
            return endLeaf();
        const Open open = m_open.back();
        m_open.pop_back();
        // The root value stays where it is, the document's one value.
        if (open.element == Element::Plist)
            return m_values.size() - open.firstValue == 1 ? void() : fail();
        --m_depth;
        if (open.element == Element::Array)
            return place(takeList(open));
        if (keyWaiting(open))
            return fail();
        place(takeDictionary(open));
    }

    void endLeaf()
    {
        const Element element = *m_leaf;
        m_leaf.reset();
        --m_depth;
        if (element == Element::Key) {
            m_keys.push_back(m_texts.text(m_text));
            return;
        }
        std::optional<QVariant> value = element == Element::String ? QVariant(m_texts.text(m_text))
                                                                   : leafValue(element, m_text);
        if (!value)
            return fail();
        place(std::move(*value));
    }

    QVariant takeList(const Open& open)
    {
        const auto first = m_values.begin() + qsizetype(open.firstValue);
        QVariantList list(std::make_move_iterator(first), std::make_move_iterator(m_values.end()));
        m_values.erase(first, m_values.end());
        return QVariant(list);
    }

    QVariant takeDictionary(const Open& open)
    {
        // Keys mostly come in order, so each entry usually goes in at the end without a search.
        std::map<QString, QVariant> entries;
        auto key = m_keys.begin() + qsizetype(open.firstKey);
        const auto first = m_values.begin() + qsizetype(open.firstValue);
        for (auto value = first; value != m_values.end(); ++value, ++key)
            entries.insert_or_assign(entries.end(), std::move(*key), std::move(*value));
        m_keys.erase(m_keys.begin() + qsizetype(open.firstKey), m_keys.end());
        m_values.erase(first, m_values.end());
        return QVariant(QVariantMap(std::move(entries)));
    }

    void place(QVariant value)
    {
        const Open& top = m_open.back();
        if (top.element == Element::Plist && m_values.size() > top.firstValue)
            return fail();
        m_values.push_back(std::move(value));
    }

    void text(const char* text, int length)
    {
        if (m_failed)
            return;
        if (m_leaf)
            m_text.append(text, size_t(length));
        else if (!std::all_of(text, text + length, isSpace))
            fail();  // between values only white space
    }

    XML_Parser m_parser;
    bool m_busy = false;
    std::vector<Open> m_open;
    std::vector<QVariant> m_values;
    std::vector<QString> m_keys;
    SharedTexts m_texts;
    int m_depth = 0;  // open elements but <plist>
    std::optional<Element> m_leaf;  // the open element that holds text, if any
    std::string m_text;  // its text so far
    bool m_failed = false;
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

#include "Platform/XmlPropertyList.h"

#include "Platform/PropertyList.h"

#include <QDate>
#include <QDateTime>
#include <QRandomGenerator>
#include <QTime>
#include <QVariantList>
#include <QVariantMap>

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <locale.h>
#include <stdlib.h>
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
        if (std::strcmp(text, name) == 0)
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

std::optional<QVariant> realValue(const QByteArray& text)
{
    // The same in every locale: a user's decimal comma must not change what a file says.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (text.isEmpty() || !cLocale)
        return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(text.constData(), &end, cLocale);
    if (end != text.constData() + text.size())
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

std::optional<QVariant> dataValue(QByteArray text)
{
    text.removeIf(isSpace);
    QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return QVariant(std::move(decoded.decoded));
}

std::optional<QVariant> leafValue(Element element, const QByteArray& text)
{
    switch (element) {
    case Element::Key:
    case Element::String:
        return QVariant(QString::fromUtf8(text));
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

// An open element that holds values. The document itself is a Plist frame: it and <plist> hold
// one value, <dict> and <array> any number.
struct Frame {
    explicit Frame(Element e = Element::Plist) : element(e) {}
    Element element;
    QVariantMap map;
    QVariantList list;
    std::optional<QString> key;  // in a <dict>: read, waiting for its value
    std::optional<QVariant> value;  // in a Plist frame
};

class Reader {
public:
    Reader() : m_parser(XML_ParserCreate(nullptr))
    {
        if (!m_parser)
            return;
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
        m_stack.emplace_back();
    }
    ~Reader()
    {
        if (m_parser)
            XML_ParserFree(m_parser);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    std::optional<QVariant> read(const QByteArray& data)
    {
        if (!m_parser || XML_Parse(m_parser, data.constData(), int(data.size()), XML_TRUE) != XML_STATUS_OK || m_failed)
            return std::nullopt;
        return std::move(m_stack.front().value);
    }

private:
    static Reader& reader(void* self) { return *static_cast<Reader*>(self); }

    // Stops at the first error; expat may still deliver what it had begun, which is ignored.
    void fail()
    {
        if (!m_failed)
            XML_StopParser(m_parser, XML_FALSE);
        m_failed = true;
    }

    void start(const char* name)
    {
        const std::optional<Element> element = elementNamed(name);
        if (m_failed || !element || m_leaf)
            return fail();
        if (*element == Element::Plist) {
            // Only around the root value.
            if (m_stack.size() != 1)
                return fail();
            m_stack.emplace_back();
            return;
        }
        // An empty element is a level like any other.
        if (++m_depth > PropertyList::kMaxDepth)
            return fail();
        const Frame& top = m_stack.back();
        const bool isKey = *element == Element::Key;
        if (top.element == Element::Dict ? isKey == top.key.has_value() : isKey)
            return fail();
        if (*element == Element::Dict || *element == Element::Array) {
            m_stack.emplace_back(*element);
        } else {
            m_leaf = element;
            m_text.resize(0);
        }
    }

    void end()
    {
        if (m_failed)
            return;
        if (m_leaf)
            return endLeaf();
        Frame frame = std::move(m_stack.back());
        m_stack.pop_back();
        if (frame.element == Element::Plist)
            return frame.value ? place(std::move(*frame.value)) : fail();
        --m_depth;
        if (frame.key)
            return fail();
        place(frame.element == Element::Dict ? QVariant(std::move(frame.map)) : QVariant(std::move(frame.list)));
    }

    void endLeaf()
    {
        const Element element = *m_leaf;
        m_leaf.reset();
        --m_depth;
        std::optional<QVariant> value = leafValue(element, m_text);
        if (!value)
            return fail();
        if (element == Element::Key)
            m_stack.back().key = value->toString();
        else
            place(std::move(*value));
    }

    void place(QVariant value)
    {
        Frame& top = m_stack.back();
        if (top.element == Element::Dict) {
            top.map.insert(*top.key, std::move(value));
            top.key.reset();
        } else if (top.element == Element::Array) {
            top.list.append(std::move(value));
        } else if (top.value) {
            fail();
        } else {
            top.value = std::move(value);
        }
    }

    void text(const char* text, int length)
    {
        if (m_failed)
            return;
        if (m_leaf)
            m_text.append(text, length);
        else if (!std::all_of(text, text + length, isSpace))
            fail();  // between values only white space
    }

    XML_Parser m_parser;
    std::vector<Frame> m_stack;
    int m_depth = 0;  // open elements but <plist>
    std::optional<Element> m_leaf;  // the open element that holds text, if any
    QByteArray m_text;  // its text so far
    bool m_failed = false;
};

}  // namespace

std::optional<QVariant> read(const QByteArray& data)
{
    return Reader().read(data);
}

}  // namespace Platform::XmlPropertyList

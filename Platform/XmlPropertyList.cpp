#include "Platform/XmlPropertyList.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QVariantList>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace Platform::XmlPropertyList {

namespace {

// Dates count seconds from 2001-01-01 00:00:00 UTC, held in 32 bits.
constexpr qint64 kReferenceDateSecsSinceEpoch = 978307200;

enum class Element { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False, Other };

Element elementNamed(std::string_view name)
{
    static constexpr std::pair<std::string_view, Element> known[] = {
        {"dict", Element::Dict},       {"key", Element::Key},   {"string", Element::String}, {"array", Element::Array},
        {"integer", Element::Integer}, {"true", Element::True}, {"false", Element::False},   {"real", Element::Real},
        {"date", Element::Date},       {"data", Element::Data}, {"plist", Element::Plist},
    };
    for (const auto& [text, element] : known) {
        if (text == name)
            return element;
    }
    return Element::Other;
}

std::string_view nameOf(Element element)
{
    switch (element) {
    case Element::Plist:
        return "plist";
    case Element::Dict:
        return "dict";
    case Element::Array:
        return "array";
    default:
        return {};
    }
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

// Values in the forms writers use; anything else is left to the general reader.
std::optional<QVariant> integerValue(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 19 || (digits.size() > 1 && digits.front() == '0')
        || (negative && digits == "0"))
        return std::nullopt;
    quint64 magnitude = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + quint64(c - '0');
    }
    const quint64 limit = negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    if (magnitude > limit)
        return std::nullopt;
    return QVariant(negative ? qlonglong(0 - magnitude) : qlonglong(magnitude));
}

std::optional<QVariant> realValue(std::string_view text)
{
    // -?digits(.digits)?([eE][+-]?digits)?
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > start;
    };
    if (i < text.size() && text[i] == '-')
        ++i;
    if (!digits())
        return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits())
            return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (!digits())
            return std::nullopt;
    }
    if (i != text.size() || text.size() > 64)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return QVariant(value);
}

std::optional<QVariant> dateValue(std::string_view text)
{
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':'
        || text[19] != 'Z')
        return std::nullopt;
    auto number = [&](size_t at, size_t length, int& value) {
        value = 0;
        for (size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour)
        || !number(14, 2, minute) || !number(17, 2, second))
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const qint64 secs = QDateTime(date, QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
    const qint64 sinceReference = secs - kReferenceDateSecsSinceEpoch;
    if (sinceReference < INT32_MIN || sinceReference > INT32_MAX)
        return std::nullopt;
    return QVariant(QDateTime::fromMSecsSinceEpoch(secs * 1000, Qt::UTC));
}

std::optional<QVariant> dataValue(std::string_view text)
{
    QByteArray packed;
    packed.reserve(qsizetype(text.size()));
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/'
              || c == '='))
            return std::nullopt;
        packed.append(c);
    }
    if (packed.size() % 4 != 0)
        return std::nullopt;
    const qsizetype padding = packed.endsWith("==") ? 2 : packed.endsWith('=') ? 1 : 0;
    if (packed.indexOf('=') != packed.size() - padding && padding != 0)
        return std::nullopt;
    if (padding == 0 && packed.contains('='))
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(packed, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return QVariant(*decoded);
}

class Reader {
public:
    Reader(const QByteArray& data, int maxDepth)
        : m_p(data.constData()),
          m_end(data.constData() + data.size()),
          m_maxDepth(maxDepth)
    {
    }

    Result read()
    {
        Result result;
        QVariant root;
        if (readDocument(root)) {
            if (root.typeId() == QMetaType::QVariantMap) {
                result.outcome = Outcome::Read;
                result.dictionary = root.toMap();
            } else {
                result.outcome = Outcome::Unreadable;
            }
        } else {
            // Running out of bytes before the document is complete is always an error.
            result.outcome = m_p >= m_end && !m_rootClosed ? Outcome::Unreadable : m_failure;
        }
        return result;
    }

private:
    struct Frame {
        explicit Frame(Element e) : element(e) {}
        Element element;
        QVariantMap map;
        QVariantList list;
        QString key;
        bool hasKey = false;
        QVariant value;
        bool hasValue = false;
    };

    // Each of these leaves m_p on the byte it could not take, so that a failure at the end of
    // the data means the data ended early.
    bool undecided()
    {
        m_failure = Outcome::Undecided;
        return false;
    }
    bool unreadable()
    {
        m_failure = Outcome::Unreadable;
        return false;
    }
    bool atEnd() const { return m_p >= m_end; }
    bool lookingAt(std::string_view text) const
    {
        return size_t(m_end - m_p) >= text.size() && std::memcmp(m_p, text.data(), text.size()) == 0;
    }
    bool skipSpace()
    {
        const char* start = m_p;
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        return m_p != start;
    }
    bool expect(char c)
    {
        if (atEnd() || *m_p != c)
            return undecided();
        ++m_p;
        return true;
    }

    bool readName(std::string_view& name)
    {
        const char* start = m_p;
        if (atEnd() || !isNameStart(*m_p))
            return undecided();
        while (m_p < m_end && isNameChar(*m_p))
            ++m_p;
        if (m_p < m_end && uchar(*m_p) >= 0x80)
            return undecided();
        name = std::string_view(start, size_t(m_p - start));
        return true;
    }

    // A quoted literal of printable ASCII; `pubid` restricts it to public identifier characters.
    bool readLiteral(std::string_view& value, bool pubid = false)
    {
        if (atEnd() || (*m_p != '"' && *m_p != '\''))
            return undecided();
        const char quote = *m_p++;
        const char* start = m_p;
        while (m_p < m_end && *m_p != quote) {
            const char c = *m_p;
            if (c < 0x20 || c > 0x7E || c == '<' || c == '&')
                return undecided();
            if (pubid && !(isNameChar(c) || c == ' ' || std::strchr("'()+,/=?;!*#@$%", c)))
                return undecided();
            ++m_p;
        }
        if (atEnd())
            return false;
        value = std::string_view(start, size_t(m_p - start));
        ++m_p;
        return true;
    }

    bool readEquals()
    {
        skipSpace();
        if (!expect('='))
            return false;
        skipSpace();
        return true;
    }

    bool readDeclaration()
    {
        if (!lookingAt("<?xml") || m_end - m_p < 6 || !isSpace(m_p[5]))
            return !lookingAt("<?") || undecided();
        m_p += 5;
        std::string_view name;
        std::string_view value;
        skipSpace();
        if (!readName(name) || name != "version" || !readEquals() || !readLiteral(value))
            return false;
        if (value != "1.0")
            return undecided();
        bool encoding = false;
        bool standalone = false;
        for (;;) {
            const bool space = skipSpace();
            if (lookingAt("?>")) {
                m_p += 2;
                return true;
            }
            if (!space || !readName(name) || !readEquals() || !readLiteral(value))
                return false;
            if (name == "encoding" && !encoding && !standalone) {
                if (qstrnicmp(value.data(), qsizetype(value.size()), "UTF-8", 5) != 0)
                    return undecided();
                encoding = true;
            } else if (name == "standalone" && !standalone && (value == "yes" || value == "no")) {
                standalone = true;
            } else {
                return undecided();
            }
        }
    }

    // <!DOCTYPE name (SYSTEM "system" | PUBLIC "public" "system")?>, no internal subset.
    bool readDoctype()
    {
        m_p += 9;
        std::string_view name;
        std::string_view literal;
        if (!skipSpace() || !readName(name))
            return false;
        bool space = skipSpace();
        if (space && !atEnd() && *m_p != '>') {
            std::string_view keyword;
            if (!readName(keyword))
                return false;
            if (keyword == "PUBLIC") {
                if (!skipSpace() || !readLiteral(literal, true))
                    return false;
            } else if (keyword != "SYSTEM") {
                return undecided();
            }
            if (!skipSpace() || !readLiteral(literal))
                return false;
            skipSpace();
        }
        return expect('>');
    }

    // Whitespace between the parts of the prolog; comments and processing instructions are
    // left to the general reader.
    bool skipMisc()
    {
        skipSpace();
        return !(lookingAt("<!--") || lookingAt("<?")) || undecided();
    }

    // After '<': the name, attributes (checked, then ignored) and '>' or '/>'.
    bool readStartTag(std::string_view& name, bool& empty)
    {
        if (!readName(name))
            return false;
        std::vector<std::string_view> attributes;
        for (;;) {
            const bool space = skipSpace();
            if (lookingAt(">")) {
                ++m_p;
                empty = false;
                return true;
            }
            if (lookingAt("/>")) {
                m_p += 2;
                empty = true;
                return true;
            }
            std::string_view attribute;
            std::string_view value;
            if (!space || !readName(attribute) || !readEquals() || !readLiteral(value))
                return false;
            // Property lists carry one attribute or none; many go the general way rather than
            // cost a comparison with every other.
            if (attributes.size() == 8)
                return undecided();
            for (const std::string_view& seen : attributes) {
                if (seen == attribute)
                    return undecided();
            }
            attributes.push_back(attribute);
        }
    }

    // After '</': the name of the open element, and '>'. Anything else is a mismatched tag.
    bool readEndTag(std::string_view name)
    {
        if (!lookingAt(name))
            return atEnd() ? false : unreadable();
        m_p += name.size();
        if (!atEnd() && isNameChar(*m_p))
            return unreadable();
        skipSpace();
        if (atEnd())
            return false;
        if (*m_p != '>')
            return unreadable();
        ++m_p;
        return true;
    }

    bool readReference(QByteArray& out)
    {
        const qsizetype available = qMin<qsizetype>(m_end - m_p, 16);
        const char* semicolon = static_cast<const char*>(std::memchr(m_p, ';', size_t(available)));
        if (!semicolon)
            return undecided();
        const std::string_view name(m_p + 1, size_t(semicolon - m_p - 1));
        if (name == "lt") {
            out.append('<');
        } else if (name == "gt") {
            out.append('>');
        } else if (name == "amp") {
            out.append('&');
        } else if (name == "quot") {
            out.append('"');
        } else if (name == "apos") {
            out.append('\'');
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            std::uint32_t code = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || !isXmlChar(code))
                return undecided();
            appendUtf8(out, code);
        } else {
            return undecided();
        }
        m_p = semicolon + 1;
        return true;
    }

    // Checks one UTF-8 sequence that is an XML character and moves past it.
    bool skipUtf8()
    {
        const auto* s = reinterpret_cast<const uchar*>(m_p);
        const qsizetype left = m_end - m_p;
        int length = 0;
        char32_t code = 0;
        if (s[0] >= 0xC2 && s[0] <= 0xDF) {
            length = 2;
            code = s[0] & 0x1F;
        } else if (s[0] >= 0xE0 && s[0] <= 0xEF) {
            length = 3;
            code = s[0] & 0x0F;
        } else if (s[0] >= 0xF0 && s[0] <= 0xF4) {
            length = 4;
            code = s[0] & 0x07;
        } else {
            return undecided();
        }
        if (left < length)
            return undecided();
        for (int i = 1; i < length; ++i) {
            if ((s[i] & 0xC0) != 0x80)
                return undecided();
            code = (code << 6) | (s[i] & 0x3F);
        }
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < smallest || !isXmlChar(code))
            return undecided();
        m_p += length;
        return true;
    }

    // Character data up to the next '<'. `text` is the bytes themselves when they hold no
    // reference, else `buffer` with the references replaced.
    bool readText(std::string_view& text, QByteArray& buffer)
    {
        const char* start = m_p;
        const char* run = m_p;
        bool replaced = false;
        while (m_p < m_end) {
            const uchar c = uchar(*m_p);
            if (c == '<')
                break;
            if (c == '&') {
                buffer.append(run, m_p - run);
                if (!readReference(buffer))
                    return false;
                run = m_p;
                replaced = true;
            } else if (c >= 0x80) {
                if (!skipUtf8())
                    return false;
            } else if ((c < 0x20 && c != '\t' && c != '\n') || (c == ']' && lookingAt("]]>"))) {
                // Carriage returns are normalised by XML readers and not by all property-list
                // readers: the general reader decides.
                return undecided();
            } else {
                ++m_p;
            }
        }
        if (replaced) {
            buffer.append(run, m_p - run);
            text = std::string_view(buffer.constData(), size_t(buffer.size()));
        } else {
            text = std::string_view(start, size_t(m_p - start));
        }
        return !atEnd();
    }

    // The text of a leaf element whose start tag was just read, and its end tag.
    bool readLeaf(std::string_view name, bool empty, std::string_view& text, QByteArray& buffer)
    {
        text = {};
        if (empty)
            return true;
        if (!readText(text, buffer))
            return false;
        if (!lookingAt("</"))
            return undecided();
        m_p += 2;
        return readEndTag(name);
    }

    bool place(Frame& frame, QVariant value)
    {
        switch (frame.element) {
        case Element::Dict:
            if (!frame.hasKey || frame.map.contains(frame.key))
                return undecided();
            frame.map.insert(frame.key, std::move(value));
            frame.hasKey = false;
            return true;
        case Element::Array:
            frame.list.append(std::move(value));
            return true;
        default:
            if (frame.hasValue)
                return undecided();
            frame.value = std::move(value);
            frame.hasValue = true;
            return true;
        }
    }

    bool readDocument(QVariant& root)
    {
        if (!readDeclaration() || !skipMisc())
            return false;
        if (lookingAt("<!DOCTYPE")) {
            if (!readDoctype() || !skipMisc())
                return false;
        }
        std::string_view name;
        bool empty = false;
        if (!expect('<') || !readStartTag(name, empty))
            return false;
        if (name != "plist" || empty)
            return undecided();

        std::vector<Frame> stack;
        stack.emplace_back(Element::Plist);
        while (!stack.empty()) {
            skipSpace();
            if (atEnd())
                return false;
            if (lookingAt("</")) {
                m_p += 2;
                Frame& top = stack.back();
                if (!readEndTag(nameOf(top.element)))
                    return false;
                if (top.hasKey)
                    return undecided();
                QVariant value = top.element == Element::Dict ? QVariant(std::move(top.map))
                    : top.element == Element::Array           ? QVariant(std::move(top.list))
                                                              : std::move(top.value);
                const bool complete = top.element != Element::Plist || top.hasValue;
                stack.pop_back();
                if (stack.empty()) {
                    m_rootClosed = true;
                    if (!complete)
                        return undecided();
                    root = std::move(value);
                } else if (!place(stack.back(), std::move(value))) {
                    return false;
                }
                continue;
            }
            if (*m_p != '<' || lookingAt("<!") || lookingAt("<?"))
                return undecided();
            ++m_p;
            if (!readStartTag(name, empty))
                return false;
            // Every element counts, an empty one too: the general reader sees it open and close.
            if (int(stack.size()) + 1 > m_maxDepth)
                return unreadable();
            const Element element = elementNamed(name);
            Frame& top = stack.back();
            std::string_view text;
            QByteArray buffer;
            std::optional<QVariant> value;
            switch (element) {
            case Element::Dict:
            case Element::Array:
                if (empty) {
                    value = element == Element::Dict ? QVariant(QVariantMap()) : QVariant(QVariantList());
                    break;
                }
                stack.emplace_back(element);
                continue;
            case Element::Key:
                if (top.element != Element::Dict || top.hasKey)
                    return undecided();
                if (!readLeaf(name, empty, text, buffer))
                    return false;
                if (text.empty())
                    return undecided();
                top.key = QString::fromUtf8(text.data(), qsizetype(text.size()));
                top.hasKey = true;
                continue;
            case Element::String:
                if (!readLeaf(name, empty, text, buffer))
                    return false;
                value = QVariant(QString::fromUtf8(text.data(), qsizetype(text.size())));
                break;
            case Element::Integer:
            case Element::Real:
            case Element::Date:
            case Element::Data:
                if (!readLeaf(name, empty, text, buffer))
                    return false;
                value = element == Element::Integer ? integerValue(text)
                    : element == Element::Real      ? realValue(text)
                    : element == Element::Date      ? dateValue(text)
                                                    : dataValue(text);
                if (!value)
                    return undecided();
                break;
            case Element::True:
            case Element::False:
                if (!readLeaf(name, empty, text, buffer))
                    return false;
                if (!text.empty())
                    return undecided();
                value = QVariant(element == Element::True);
                break;
            default:
                return undecided();
            }
            if (!place(stack.back(), std::move(*value)))
                return false;
        }
        // After the root only whitespace; comments and the like go to the general reader.
        skipSpace();
        return atEnd() || undecided();
    }

    const char* m_p;
    const char* m_end;
    int m_maxDepth;
    Outcome m_failure = Outcome::Undecided;
    bool m_rootClosed = false;
};

}  // namespace

Result read(const QByteArray& data, int maxDepth)
{
    return Reader(data, maxDepth).read();
}

}  // namespace Platform::XmlPropertyList

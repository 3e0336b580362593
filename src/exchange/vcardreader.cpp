// The cards are parsed with libvformat (Debian's libvformat-dev). Belcard
// (libbelcard-dev) was tried on the same phone and mail exports and left
// aside: it reads only cards of VERSION:4.0 and refuses every 3.0 and 2.1
// card outright; with the version changed to 4.0 it still refused the iPhone
// card (an escaped semicolon in its NOTE) and the Android 2.1 cards (bare
// types such as TEL;CELL and quoted-printable values), kept only VOICE of
// TYPE=HOME,VOICE and left \n escaped. libvformat read all of them: groups
// (item1.TEL), bare and repeated types, quoted-printable values with soft
// line breaks, and the components of N and ADR.
//
// What libvformat does not do is done around it here:
// - it hands quoted-printable values back as bytes, in whatever CHARSET the
//   card names; they are turned into text here;
// - it splits values at every semicolon, escaped or not, and leaves the
//   escapes \, \; \n \\ as they are; both are put right here;
// - it crashes on some malformed lines (a line that is only ".", two dots
//   before the value, a lone carriage return taken as a line's end). So each
//   card is cut into lines here, lines that are no property are left out,
//   and a property's parameters are handed on only when they are plain
//   words, which every parameter read here is.
// - vf_get_prop_name copies the group and name into the caller's buffer
//   whatever size it is told, and a base64 value cut at a colon or semicolon
//   is parsed again as a property whose name is the value's bytes (a dot in
//   them reads through a null pointer). So it is never called: each line is
//   given to the library alone, the group is taken from the line here, only
//   the first property the library makes of a line is read, and base64
//   values are decoded here, the library never seeing them. The other calls (vf_parse_init, vf_parse_text,
//   vf_parse_end, vf_get_property, vf_get_next_property,
//   vf_get_prop_name_string, vf_get_prop_value, vf_delete_object) allocate
//   what they keep and hand back pointers; none writes into a buffer of ours.
// - a card whose group, name or parameter is longer than any contact's is
//   left out whole, before the library sees it, and said with its line.
// - it keeps the state of a search through a card in one static, so only
//   one thread at a time uses it.

#include "exchange/vcardreader.h"

#include "core/log.h"

#include <QHash>
#include <QMutex>
#include <QStringDecoder>

#include <algorithm>

#define NORCSID
#define HAVE_INTTYPES_H
#include <vf_iface.h>

namespace bm::vcard
{

namespace
{

// The longest group, name or parameter a line may have. Those of phones and
// mail programs are a few dozen letters; a longer one is no contact's.
constexpr qsizetype longestPart = 1000;

QMutex libraryLock;

bool isBlank(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool isCardLine(QByteArrayView line, QByteArrayView word)
{
    const QByteArray trimmed = line.trimmed().toByteArray().toUpper();
    return trimmed == word.toByteArray() + ":VCARD";
}

bool isWordChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// The name of the property a line holds, without its group, in capitals.
QByteArray propertyName(QByteArrayView line)
{
    qsizetype i = 0;
    while (i < line.size() && isWordChar(line[i]))
        ++i;
    qsizetype start = 0;
    if (i < line.size() && line[i] == '.') {
        start = ++i;
        while (i < line.size() && isWordChar(line[i]))
            ++i;
    }
    return line.sliced(start, i - start).toByteArray().toUpper();
}

// Pictures, sounds and keys: large, and nothing a contact here keeps.
bool isDropped(QByteArrayView line)
{
    const QByteArray name = propertyName(line);
    return name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
}

// The name and parameters of a line, before the colon that starts its value.
QByteArrayView head(QByteArrayView line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return line.first(i);
    }
    return line;
}

// Whether a property's group, name or one of its parameters is longer than
// longestPart. A line without a colon is no property and is not measured.
bool hasOversizedPart(QByteArrayView line)
{
    const QByteArrayView h = head(line);
    if (h.size() == line.size() || h.size() <= longestPart)
        return false;
    bool quoted = false;
    bool inName = true; // before the first semicolon: group and name, cut at a dot
    qsizetype start = 0;
    for (qsizetype i = 0; i <= h.size(); ++i) {
        const bool end = i == h.size();
        if (!end && h[i] == '"')
            quoted = !quoted;
        const bool cut = end || (!quoted && (h[i] == ';' || (inName && h[i] == '.')));
        if (!cut)
            continue;
        if (i - start > longestPart)
            return true;
        inName = inName && (end || h[i] != ';');
        start = i + 1;
    }
    return false;
}

// The group a tidied line's property belongs to ("item1" of item1.TEL:...).
QByteArray groupOf(QByteArrayView line)
{
    qsizetype i = 0;
    while (i < line.size() && isWordChar(line[i]))
        ++i;
    return i < line.size() && line[i] == '.' ? line.first(i).toByteArray() : QByteArray();
}

bool isQuotedPrintable(QByteArrayView line)
{
    return head(line).toByteArray().toUpper().contains("QUOTED-PRINTABLE");
}

// A line as the library is given it: [group.]name, the parameters that are
// plain words (TYPE=HOME,VOICE  CHARSET=UTF-8  CELL  TYPE="voice,home"), and
// the value. False when the line is no property at all.
bool tidyLine(QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && isWordChar(line[i]))
        ++i;
    if (i == 0)
        return false;
    if (i < line.size() && line[i] == '.') {
        const qsizetype nameStart = ++i;
        while (i < line.size() && isWordChar(line[i]))
            ++i;
        if (i == nameStart)
            return false;
    }
    QByteArray tidy = line.first(i);
    while (i < line.size() && line[i] == ';') {
        const qsizetype start = ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ';' && line[i] != ':'))) {
            if (line[i] == '"')
                quoted = !quoted;
            ++i;
        }
        const QByteArrayView parameter = QByteArrayView(line).sliced(start, i - start);
        const bool plain = !parameter.isEmpty()
            && std::all_of(parameter.begin(), parameter.end(),
                [](char c) { return isWordChar(c) || c == '=' || c == ',' || c == '"'; });
        // Values in 8 bits are the file's own text here; the library refuses them.
        const QByteArray upper = parameter.toByteArray().toUpper();
        const bool textEncoding = upper.endsWith("8BIT") || upper.endsWith("7BIT");
        if (plain && !textEncoding)
            tidy += ';' + parameter.toByteArray();
    }
    if (i >= line.size() || line[i] != ':')
        return false;
    tidy += QByteArrayView(line).sliced(i);
    line = std::move(tidy);
    return true;
}

// One property of a card as the library read it.
struct Property {
    QByteArray group;
    QByteArray name; // in capitals
    QByteArrayList parameters; // as written: "TYPE=HOME,VOICE", "CELL"
    QByteArrayList components; // the value cut at its semicolons
    bool bytes = false; // quoted-printable or base64: bytes in the CHARSET, not the file's text
};

QByteArray parameterValue(const Property &p, QByteArrayView name)
{
    for (const QByteArray &parameter : p.parameters) {
        const qsizetype eq = parameter.indexOf('=');
        if (eq > 0 && QByteArrayView(parameter).first(eq).compare(name, Qt::CaseInsensitive) == 0)
            return parameter.mid(eq + 1);
    }
    return {};
}

QString decoded(const Property &p, const QByteArray &bytes)
{
    if (!p.bytes)
        return QString::fromUtf8(bytes); // the file's text, already UTF-8
    const QByteArray charset = parameterValue(p, "CHARSET").replace('"', QByteArray());
    if (!charset.isEmpty()) {
        if (auto encoding = QStringConverter::encodingForName(charset.constData())) {
            QStringDecoder decoder(*encoding);
            const QString text = decoder.decode(bytes);
            if (!decoder.hasError())
                return text;
        }
    }
    // No charset, or one not known here: UTF-8 when the bytes are, else
    // Western European letters.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// The library cuts a value at every semicolon; one written as \; belongs to
// the component before it.
QByteArrayList joinedAtEscapes(const QByteArrayList &components)
{
    QByteArrayList joined;
    bool escaped = false;
    for (const QByteArray &c : components) {
        if (escaped)
            joined.last() += ';' + c;
        else
            joined << c;
        qsizetype backslashes = 0;
        while (backslashes < joined.last().size()
            && joined.last()[joined.last().size() - 1 - backslashes] == '\\')
            ++backslashes;
        escaped = backslashes % 2 == 1;
    }
    return joined;
}

QString unescaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            // Quoted-printable line breaks are written =0D=0A.
            out += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\\' && i + 1 < text.size()) {
            const QChar e = text[++i];
            out += (e == u'n' || e == u'N') ? QChar(u'\n') : e;
        } else {
            out += c;
        }
    }
    return out;
}

// The components of a structured value (N, ADR, ORG) as text.
QStringList parts(const Property &p)
{
    QStringList out;
    for (const QByteArray &c : joinedAtEscapes(p.components))
        out << unescaped(decoded(p, c)).trimmed();
    return out;
}

// A value that is one text (FN, NOTE, TEL, EMAIL): its semicolons are its own.
QString whole(const Property &p)
{
    return unescaped(decoded(p, p.components.join(';')));
}

QString part(const QStringList &parts, int i)
{
    return i < parts.size() ? parts[i] : QString();
}

// The kinds a property is given: its TYPE values, and in files of vCard 2.1
// the bare words (TEL;CELL;VOICE).
QStringList types(const Property &p)
{
    QStringList out;
    for (const QByteArray &parameter : p.parameters) {
        const qsizetype eq = parameter.indexOf('=');
        if (eq < 0) {
            const QByteArray word = parameter.toUpper();
            if (word != "QUOTED-PRINTABLE" && word != "BASE64" && word != "8BIT" && word != "7BIT")
                out << QString::fromUtf8(parameter);
            continue;
        }
        if (QByteArrayView(parameter).first(eq).compare("TYPE", Qt::CaseInsensitive) != 0)
            continue;
        const QString values = QString::fromUtf8(parameter.mid(eq + 1)).remove(u'"');
        for (const QString &v : values.split(u',', Qt::SkipEmptyParts))
            out << v.trimmed();
    }
    return out;
}

// How much a property is preferred: 1 first; 101 when it is not marked.
int preference(const Property &p)
{
    const QByteArray pref = parameterValue(p, "PREF");
    if (!pref.isEmpty()) {
        bool ok = false;
        const int n = pref.toInt(&ok);
        return ok ? std::clamp(n, 1, 100) : 1;
    }
    for (const QString &t : types(p)) {
        if (t.compare(u"pref", Qt::CaseInsensitive) == 0)
            return 1;
    }
    return 101;
}

// Apple writes the label of a number or address in a property of its own
// beside it: item1.X-ABLabel:_$!<Mobile>!$_ or a label the owner typed.
QString appleLabel(const QString &label)
{
    QString l = label.trimmed();
    if (l.startsWith(u"_$!<") && l.endsWith(u">!$_"))
        l = l.mid(4, l.size() - 8);
    return l;
}

QString kind(const Property &p, const QHash<QByteArray, QString> &labels)
{
    QStringList k = types(p);
    if (!p.group.isEmpty()) {
        const QString label = labels.value(p.group.toUpper());
        if (!label.isEmpty())
            k << label;
    }
    return k.join(u',');
}

QStringList textLines(const QString &text)
{
    return text.split(u'\n', Qt::SkipEmptyParts);
}

ContactEntry::Address address(const Property &p, const QHash<QByteArray, QString> &labels)
{
    // post office box; extended address; street; locality; region; postal code; country
    const QStringList c = parts(p);
    ContactEntry::Address a;
    a.kind = kind(p, labels);
    for (const QString &l : textLines(part(c, 2)))
        a.street << l.trimmed();
    for (const QString &l : textLines(part(c, 1)))
        a.street << l.trimmed();
    for (const QString &l : textLines(part(c, 0)))
        a.street << l.trimmed();
    a.street.removeAll(QString());
    a.city = part(c, 3);
    a.region = part(c, 4);
    a.postalCode = part(c, 5);
    return a;
}

// Reads the property of one tidied line; false when the library can not.
bool parseLine(const QByteArray &line, Property &p)
{
    // The library reads a base64 value by parsing again whatever in it
    // follows a colon or a semicolon, and reads through a null pointer on
    // some (".;"). It takes every value whose name or parameters hold
    // BASE64 so; those are decoded here, and it is given the line without
    // its value.
    const qsizetype colon = head(line).size();
    const bool base64 = QByteArrayView(line).first(colon).toByteArray().toUpper().contains("BASE64");
    QByteArray card = "BEGIN:VCARD\r\n" + (base64 ? line.first(colon + 1) + "\r\n" : line) + "END:VCARD\r\n";
    VF_OBJECT_T *object = nullptr;
    VF_PARSER_T *parser = nullptr;
    if (!vf_parse_init(&parser, &object))
        return false;
    const bool parsed = vf_parse_text(parser, card.data(), int(card.size()));
    const bool ended = vf_parse_end(parser);
    if (!parsed || !ended || !object) {
        if (object)
            vf_delete_object(object, TRUE);
        return false;
    }
    VF_PROP_T *prop = nullptr;
    const bool found = vf_get_property(&prop, object, VFGP_FIND, nullptr, "*", nullptr);
    if (found) {
        p.group = groupOf(line);
        for (uint32_t i = 0;; ++i) {
            const char *s = vf_get_prop_name_string(prop, i);
            if (!s)
                break;
            if (i == 0)
                p.name = QByteArray(s).toUpper();
            else
                p.parameters << QByteArray(s);
        }
        void *value = nullptr;
        uint32_t count = 0;
        vf_encoding_t encoding = VF_ENC_UNKNOWN;
        if (vf_get_prop_value(prop, &value, &count, &encoding) && value) {
            if (encoding == VF_ENC_7BIT || encoding == VF_ENC_QUOTEDPRINTABLE) {
                const auto strings = static_cast<char **>(value);
                for (uint32_t i = 0; i < count; ++i)
                    p.components << QByteArray(strings[i]);
                p.bytes = encoding == VF_ENC_QUOTEDPRINTABLE;
            }
        }
        if (base64) {
            QByteArray text = line.mid(colon + 1).trimmed();
            text.replace(' ', QByteArray()).replace('\t', QByteArray());
            p.components = { QByteArray::fromBase64(text) };
            p.bytes = true;
        }
    }
    vf_delete_object(object, TRUE);
    return found;
}

// The properties of a card in its order, one a line; lines the library
// refuses (a quoted-printable value cut short, say) are left out. False
// when it refuses every one.
bool readProperties(const QByteArrayList &lines, QList<Property> &properties)
{
    QMutexLocker lock(&libraryLock);
    bool any = false;
    for (const QByteArray &line : lines) {
        Property p;
        if (parseLine(line, p)) {
            properties << p;
            any = true;
        }
    }
    return any || lines.isEmpty();
}

void fill(const QList<Property> &properties, ContactEntry &entry)
{
    QHash<QByteArray, QString> labels;
    for (const Property &p : properties) {
        if (p.name == "X-ABLABEL" && !p.group.isEmpty())
            labels.insert(p.group.toUpper(), appleLabel(whole(p)));
    }
    QList<std::pair<int, QString>> emails;
    QList<ContactEntry::Address> formatted;
    QStringList notes;
    for (const Property &p : properties) {
        if (p.name == "FN") {
            entry.fullName = whole(p).trimmed();
        } else if (p.name == "N") {
            const QStringList c = parts(p);
            entry.familyName = part(c, 0);
            entry.givenName = part(c, 1);
            entry.middleName = part(c, 2);
        } else if (p.name == "ORG") {
            entry.organization = part(parts(p), 0);
        } else if (p.name == "TEL") {
            QString number = whole(p).trimmed();
            if (number.startsWith(u"tel:", Qt::CaseInsensitive))
                number = number.mid(4);
            if (!number.isEmpty())
                entry.phones << ContactEntry::Phone { kind(p, labels), number };
        } else if (p.name == "ADR") {
            ContactEntry::Address a = address(p, labels);
            if (!a.street.isEmpty() || !a.city.isEmpty() || !a.region.isEmpty() || !a.postalCode.isEmpty())
                entry.addresses << a;
        } else if (p.name == "LABEL") {
            ContactEntry::Address a;
            a.kind = kind(p, labels);
            a.formatted = whole(p).trimmed();
            if (!a.formatted.isEmpty())
                formatted << a;
        } else if (p.name == "EMAIL") {
            const QString email = whole(p).trimmed();
            if (!email.isEmpty())
                emails << std::pair { preference(p), email };
        } else if (p.name == "NOTE") {
            const QString note = whole(p).trimmed();
            if (!note.isEmpty())
                notes << note;
        }
    }
    if (entry.addresses.isEmpty())
        entry.addresses = formatted;
    std::stable_sort(
        emails.begin(), emails.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &e : std::as_const(emails))
        entry.emails << e.second;
    entry.notes = notes.join(u'\n');
}

} // namespace

bool looksLikeVCard(QByteArrayView utf8Start)
{
    qsizetype at = 0;
    while (at < utf8Start.size()) {
        qsizetype end = at;
        while (end < utf8Start.size() && utf8Start[end] != '\n' && utf8Start[end] != '\r')
            ++end;
        const QByteArrayView line = utf8Start.sliced(at, end - at);
        if (!line.trimmed().isEmpty())
            return end < utf8Start.size() ? isCardLine(line, "BEGIN") : isCardLine(line.trimmed(), "BEGIN");
        at = end + 1;
    }
    return false;
}

Reader::Reader() = default;
Reader::~Reader() = default;

Status Reader::open(const QString &path)
{
    return started(m_source.open(path, text::largestImport));
}

Status Reader::open(text::Source &&source)
{
    m_source = std::move(source);
    return started(m_source.rewind());
}

Status Reader::open(const QByteArray &bytes, const QString &shownName)
{
    return started(m_source.open(bytes, shownName));
}

Status Reader::started(const Status &opened)
{
    m_buffer.clear();
    m_at = 0;
    m_sourceDone = false;
    m_lineNumber = 0;
    m_hasPeeked = false;
    m_sawCard = false;
    m_sawText = false;
    m_status = opened;
    if (!m_status)
        qCWarning(dataLog).noquote() << m_status.message();
    return m_status;
}

bool Reader::fail(const Status &s)
{
    m_status = s;
    qCWarning(dataLog).noquote() << s.message();
    return false;
}

// The next line of the file, without its line break (CR LF, LF or a lone CR).
// A line longer than a card may be is kept only in part.
bool Reader::readLine(Line &line)
{
    if (m_hasPeeked) {
        line = std::move(m_peeked);
        m_hasPeeked = false;
        return true;
    }
    line = Line();
    bool any = false;
    const auto keep = [&line](QByteArrayView text) {
        const qsizetype room = largestCard + 1 - line.text.size();
        if (text.size() > room) {
            line.cut = true;
            text = text.first(std::max<qsizetype>(room, 0));
        }
        line.text += text;
    };
    for (;;) {
        if (!m_status)
            return false;
        const qsizetype n = m_buffer.size();
        qsizetype end = m_at;
        while (end < n && m_buffer[end] != '\n' && m_buffer[end] != '\r')
            ++end;
        // A CR at the end of what was read may be the first half of CR LF.
        const bool waitForLf = end == n - 1 && m_buffer[end] == '\r' && !m_sourceDone;
        if (end < n && !waitForLf) {
            keep(QByteArrayView(m_buffer).sliced(m_at, end - m_at));
            m_at = end + 1;
            if (m_buffer[end] == '\r' && m_at < n && m_buffer[m_at] == '\n')
                ++m_at;
            line.number = ++m_lineNumber;
            return true;
        }
        any = any || end > m_at;
        keep(QByteArrayView(m_buffer).sliced(m_at, end - m_at));
        m_buffer = m_buffer.mid(end);
        m_at = 0;
        if (m_sourceDone) {
            if (!any)
                return false;
            line.number = ++m_lineNumber;
            return true;
        }
        QByteArray piece;
        if (m_source.read(piece))
            m_buffer += piece;
        else if (!m_source.status())
            return fail(m_source.status());
        else
            m_sourceDone = true;
    }
}

bool Reader::peekLine(Line *&line)
{
    if (!m_hasPeeked) {
        Line next;
        if (!readLine(next))
            return false;
        m_peeked = std::move(next);
        m_hasPeeked = true;
    }
    line = &m_peeked;
    return true;
}

// A property's whole line: the lines that continue it joined on, those
// begun with a blank (folded) and, in quoted-printable values, those after
// a line ending in "=". For pictures and the like the lines are passed
// over and dropped is set.
bool Reader::readContentLine(Line &line, bool &dropped)
{
    if (!readLine(line))
        return false;
    dropped = isDropped(line.text);
    if (dropped)
        line.text.clear();
    const bool quotedPrintable = !dropped && isQuotedPrintable(line.text);
    Line *next = nullptr;
    while (peekLine(next)) {
        const bool folded = !next->text.isEmpty() && (next->text[0] == ' ' || next->text[0] == '\t');
        const bool softBreak = quotedPrintable && line.text.endsWith('=') && !isCardLine(next->text, "END");
        if (!folded && !softBreak)
            break;
        Line more;
        (void)readLine(more);
        if (dropped)
            continue;
        if (softBreak)
            line.text.chop(1);
        const QByteArrayView text = QByteArrayView(more.text).sliced(folded && !softBreak ? 1 : 0);
        const qsizetype room = largestCard + 1 - line.text.size();
        line.cut = line.cut || more.cut || text.size() > room;
        line.text += text.first(std::min(text.size(), std::max<qsizetype>(room, 0)));
    }
    return m_status.isOk();
}

bool Reader::next(ContactEntry &entry)
{
    if (!m_status)
        return false;
    Line line;
    bool dropped = false;
    for (;;) {
        if (!readContentLine(line, dropped)) {
            if (m_status && !m_sawCard && m_sawText)
                return fail(m_source.refuse(
                    QStringLiteral("it holds no contacts: none of its lines is BEGIN:VCARD.")));
            return false;
        }
        if (isCardLine(line.text, "BEGIN"))
            break;
        if (!isBlank(line.text) || dropped)
            m_sawText = true;
    }
    m_sawCard = true;
    const int begin = line.number;
    const auto unclosed = [&] {
        return fail(m_source.refuse(
            QStringLiteral("the card on line %1 has no END:VCARD; the file may be cut short.").arg(begin)));
    };
    QByteArrayList lines;
    qsizetype size = 0;
    int oversized = 0; // the first line whose head is too long to read
    for (;;) {
        if (!readContentLine(line, dropped))
            return m_status ? unclosed() : false;
        if (dropped)
            continue;
        if (isCardLine(line.text, "END"))
            break;
        if (isCardLine(line.text, "BEGIN"))
            return unclosed();
        if (line.cut || size + line.text.size() > largestCard)
            return fail(m_source.refuse(QStringLiteral("the card on line %1 is larger than %2 MB.")
                                            .arg(begin)
                                            .arg(largestCard / (1024 * 1024))));
        // Lines that are no property (and those of cards held within this
        // one) are not read.
        const QByteArray name = propertyName(line.text);
        if (name == "BEGIN" || name == "END" || oversized)
            continue;
        if (hasOversizedPart(line.text)) {
            oversized = line.number;
            lines.clear();
            continue;
        }
        if (!tidyLine(line.text))
            continue;
        if (lines.size() >= mostProperties)
            return fail(m_source.refuse(QStringLiteral("the card on line %1 has more than %2 lines.")
                                            .arg(begin)
                                            .arg(mostProperties)));
        line.text += "\r\n";
        size += line.text.size();
        lines << line.text;
    }

    entry = ContactEntry();
    entry.line = begin;
    if (oversized) {
        entry.problem = QStringLiteral("its line %1 has a name or parameter longer than %2 characters; the "
                                       "card was left out.")
                            .arg(oversized)
                            .arg(longestPart);
        qCWarning(dataLog).noquote() << m_source.shownName() << "card on line" << begin << entry.problem;
        return true;
    }
    QList<Property> properties;
    if (!readProperties(lines, properties))
        return fail(m_source.refuse(QStringLiteral("the card on line %1 can not be read.").arg(begin)));
    fill(properties, entry);
    return true;
}

} // namespace bm::vcard

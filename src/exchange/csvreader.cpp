#include "exchange/csvreader.h"

#include "exchange/csvexchange.h"

#include <csv.h>

#include <algorithm>

namespace bm::csv
{

namespace
{

// How much of the start of a file is looked at for its header row.
// A fuzzing build looks at less, so that its short inputs reach past the
// part looked at, and grows fields in small steps.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr qsizetype sniffSize = 1024;
constexpr size_t fieldBlock = 64;
#else
constexpr qsizetype sniffSize = 64 * 1024;
constexpr size_t fieldBlock = 256 * 1024; // long fields grow in few steps
#endif
constexpr int headerCandidates = 20;
constexpr qsizetype largestRecord = qsizetype(16) * 1024 * 1024;

constexpr unsigned char strictOptions = CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL;

// Line breaks in text: CR, LF or CRLF each count once.
int countBreaks(QByteArrayView text, bool &afterCarriageReturn)
{
    int breaks = 0;
    for (const char c : text) {
        if (c == '\r' || (c == '\n' && !afterCarriageReturn))
            ++breaks;
        afterCarriageReturn = c == '\r';
    }
    return breaks;
}

} // namespace

// libcsv with what its callbacks build: the records, and the line each
// begins on from the line breaks seen inside and between fields.
struct Reader::Parser {
    csv_parser parser {};
    bool ready = false;
    QList<Record> *out = nullptr;
    QStringList fields;
    qsizetype recordBytes = 0;
    bool inRecord = false;
    bool afterCarriageReturn = false;
    int line = 1;
    int recordLine = 1;
    int toSkip = 0; // rows above the header row still to pass over
    bool headerSeen = false;
    QStringList header;
    int headerLine = 0;
    QString overflow; // why the records can not be taken
    // Lines of the pieces fed so far, for the line of a parse error.
    int fedLines = 1;
    bool fedAfterCarriageReturn = false;

    Parser(unsigned char separator, int skip, bool strict)
        : toSkip(skip)
    {
        ready = csv_init(&parser, skip > 0 || !strict ? CSV_REPALL_NL : strictOptions) == 0;
        if (!ready)
            return;
        csv_set_blk_size(&parser, fieldBlock);
        csv_set_delim(&parser, separator);
        if (separator == CSV_TAB) // a tab separates; only blanks surround a field
            csv_set_space_func(&parser, [](unsigned char c) { return c == CSV_SPACE ? 1 : 0; });
    }
    ~Parser()
    {
        if (ready)
            csv_free(&parser);
    }
    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;

    static void onField(void *data, size_t len, void *user)
    {
        auto *p = static_cast<Parser *>(user);
        if (!p->inRecord) {
            p->inRecord = true;
            p->recordLine = p->line;
        }
        const auto *text = static_cast<const char *>(data);
        bool after = false;
        p->line += countBreaks(QByteArrayView(text, qsizetype(len)), after);
        p->afterCarriageReturn = false;
        if (!p->overflow.isEmpty())
            return;
        p->recordBytes += qsizetype(len);
        if (p->fields.size() >= mostColumns)
            p->overflow = QStringLiteral("the row on line %1 has more than %2 fields.")
                              .arg(p->recordLine)
                              .arg(mostColumns);
        else if (qsizetype(len) > largestField)
            p->overflow = QStringLiteral("a field on line %1 is larger than %2 MB.")
                              .arg(p->recordLine)
                              .arg(largestField / (1024 * 1024));
        else if (p->recordBytes > largestRecord)
            p->overflow = QStringLiteral("the row on line %1 is larger than %2 MB.")
                              .arg(p->recordLine)
                              .arg(largestRecord / (1024 * 1024));
        else if (len > 1 && text[0] == '\'') // the mark of a text that looks like a formula
            p->fields.append(QString::fromUtf8(unprotected(QByteArrayView(text, qsizetype(len)))));
        else
            p->fields.append(QString::fromUtf8(text, qsizetype(len)));
    }

    static void onRecordEnd(int c, void *user)
    {
        auto *p = static_cast<Parser *>(user);
        if (c == CSV_LF && p->afterCarriageReturn && !p->inRecord) {
            p->afterCarriageReturn = false; // the second half of a CRLF
        } else if (c == CSV_CR || c == CSV_LF) {
            ++p->line;
            p->afterCarriageReturn = c == CSV_CR;
        }
        if (!p->inRecord)
            return;
        p->inRecord = false;
        p->recordBytes = 0;
        bool blank = true;
        for (const QString &f : std::as_const(p->fields))
            if (!isBlank(f)) {
                blank = false;
                break;
            }
        if (blank || !p->overflow.isEmpty()) {
            p->fields.clear();
            return;
        }
        if (p->toSkip > 0) {
            --p->toSkip;
            p->fields.clear();
        } else if (!p->headerSeen) {
            p->headerSeen = true;
            p->header = std::move(p->fields);
            p->headerLine = p->recordLine;
            // Below the header quotes must be where CSV puts them.
            csv_set_opts(&p->parser, strictOptions);
        } else {
            p->out->append(Record { p->recordLine, std::move(p->fields) });
        }
        p->fields.clear();
    }

    // Parses a piece of the text; what can not be read is said in words.
    QString feed(const QByteArray &utf8)
    {
        if (!ready)
            return QStringLiteral("there is not enough memory.");
        const size_t parsed
            = csv_parse(&parser, utf8.constData(), size_t(utf8.size()), onField, onRecordEnd, this);
        if (!overflow.isEmpty())
            return overflow;
        if (parsed != size_t(utf8.size())) {
            if (csv_error(&parser) != CSV_EPARSE)
                return QStringLiteral("a field is too large to read.");
            const int errorLine = fedLines
                + countBreaks(QByteArrayView(utf8).first(qsizetype(parsed)), fedAfterCarriageReturn);
            return QStringLiteral("on line %1 a quote stands inside a field. A field that holds quotes must "
                                  "itself be in quotes, with each of its quotes doubled.")
                .arg(errorLine);
        }
        if (parser.entry_pos > size_t(largestField))
            return QStringLiteral("a field on line %1 is larger than %2 MB.")
                .arg(inRecord ? recordLine : line)
                .arg(largestField / (1024 * 1024));
        fedLines += countBreaks(utf8, fedAfterCarriageReturn);
        return {};
    }

    QString finish()
    {
        if (csv_fini(&parser, onField, onRecordEnd, this) != 0)
            return QStringLiteral("the quote that opens a field on line %1 is never closed.").arg(line);
        return overflow;
    }
};

Reader::Reader() = default;
Reader::~Reader() = default;

const Status &Reader::status() const
{
    return m_failure ? m_source.status() : m_failure;
}

Status Reader::open(const QString &path, const HeaderScore &score)
{
    if (Status s = m_source.open(path, text::largestImport); !s)
        return s;
    return start(score);
}

Status Reader::open(const QByteArray &bytes, const QString &shownName, const HeaderScore &score)
{
    if (Status s = m_source.open(bytes, shownName); !s)
        return s;
    return start(score);
}

Status Reader::open(text::Source &&source, const HeaderScore &score)
{
    m_source = std::move(source);
    if (Status s = m_source.rewind(); !s)
        return s;
    return start(score);
}

Status Reader::start(const HeaderScore &score)
{
    QByteArray sniff;
    bool whole = false;
    while (sniff.size() < sniffSize) {
        QByteArray piece;
        if (!m_source.read(piece)) {
            whole = true;
            break;
        }
        sniff += piece;
    }
    if (!m_source.status())
        return m_source.status();

    // The separator and the header row: under each separator the first row
    // that names at least two columns, else one, else the first row; the
    // separator whose header names most wins. Without a score the first row
    // is the header and the separator the one its first line holds most.
    struct Choice {
        unsigned char separator;
        int skip = 0;
        int score = -1;
    };
    QList<Choice> choices;
    for (const unsigned char separator :
        { (unsigned char)CSV_COMMA, (unsigned char)';', (unsigned char)CSV_TAB }) {
        QList<Record> rows;
        Parser trial(separator, 0, false);
        trial.headerSeen = true;
        trial.out = &rows;
        (void)trial.feed(sniff);
        if (whole)
            (void)trial.finish();
        Choice choice { separator };
        if (!rows.isEmpty() && score) {
            const int candidates = int(qMin<qsizetype>(rows.size(), headerCandidates));
            int best = -1;
            for (const int least : { 2, 1 }) {
                for (int i = 0; i < candidates && best < 0; ++i)
                    if (score(rows[i].fields) >= least)
                        best = i;
                if (best >= 0)
                    break;
            }
            choice.skip = qMax(best, 0);
            choice.score = score(rows[choice.skip].fields);
        } else if (!rows.isEmpty()) {
            choice.score = 0;
        }
        choices.append(choice);
    }
    if (std::all_of(choices.cbegin(), choices.cend(), [](const Choice &c) { return c.score < 0; }))
        return m_source.refuse(QStringLiteral("it is empty."));
    const qsizetype end = sniff.indexOf('\n');
    const QByteArrayView firstLine = end < 0 ? QByteArrayView(sniff) : QByteArrayView(sniff).first(end);
    auto byFirstLine = [&](const Choice &a, const Choice &b) {
        return firstLine.count(char(a.separator)) < firstLine.count(char(b.separator));
    };
    const Choice chosen
        = *std::max_element(choices.cbegin(), choices.cend(), [&](const Choice &a, const Choice &b) {
              return a.score != b.score ? a.score < b.score : byFirstLine(a, b);
          });

    if (Status s = m_source.rewind(); !s)
        return s;
    m_parser = std::make_unique<Parser>(chosen.separator, chosen.skip, true);
    m_parser->out = &m_ready;
    while (!m_parser->headerSeen && fill()) { }
    if (!status())
        return status();
    if (!m_parser->headerSeen)
        return m_source.refuse(QStringLiteral("it holds no rows."));
    m_header = m_parser->header;
    m_headerLine = m_parser->headerLine;
    return Status::ok();
}

bool Reader::fill()
{
    if (m_ended)
        return false;
    QByteArray piece;
    QString failure;
    if (m_source.read(piece)) {
        failure = m_parser->feed(piece);
    } else {
        m_ended = true;
        if (!m_source.status())
            return false;
        failure = m_parser->finish();
    }
    if (!failure.isEmpty()) {
        m_ended = true;
        m_failure = m_source.refuse(failure);
        m_ready.clear();
        m_taken = 0;
        return false;
    }
    return true;
}

bool Reader::next(Record &record)
{
    while (m_taken >= m_ready.size()) {
        m_ready.clear();
        m_taken = 0;
        if (!fill())
            return false;
    }
    record = std::move(m_ready[m_taken++]);
    return true;
}

namespace
{

Status readWhole(Reader &reader, const Status &opened, Document &out)
{
    out = Document();
    if (!opened)
        return opened;
    out.header = reader.header();
    out.headerLine = reader.headerLine();
    out.encoding = reader.source().encodingName();
    Record record;
    while (reader.next(record))
        out.records.append(std::move(record));
    return reader.status();
}

} // namespace

Status read(const QString &path, Document &out)
{
    Reader reader;
    const Status opened = reader.open(path);
    return readWhole(reader, opened, out);
}

Status parse(const QByteArray &bytes, const QString &shownName, Document &out)
{
    Reader reader;
    const Status opened = reader.open(bytes, shownName);
    return readWhole(reader, opened, out);
}

} // namespace bm::csv

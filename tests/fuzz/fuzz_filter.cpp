// A search as a guide types it, Field LIKE 'pattern', parsed against the
// fields of the contacts and run over a made-up contact: the input's first
// line is the search, the rest the value of the field it names. The whole
// first line is also taken as a bare pattern, as the trip search takes one.

#include "fuzzsupport.h"

#include "db/filter.h"
#include "filtercases.h"
#include "perlregex.h"
#include "schema/schema.h"

#include <algorithm>
#include <cmath>

using namespace bm;

namespace
{

const QStringList &contactFields()
{
    static const QStringList names = schema::fieldNames(*schema::table(QStringLiteral("Phone")));
    return names;
}

// The matcher over text, the one over the stored bytes and the server's
// regular expression are three pieces of code for one answer: on well-formed
// UTF-8 they agree (the server's text holds no NUL). The expression is run
// by Perl's rules, whose backtracking tries the text's length to the power
// of its stars (and one more for where it starts); past a million steps it
// would give up, so longer work is left out.
// A pattern of plain letters matches the text it is written with.
void run(const filter::Pattern &pattern, const QString &written, const QByteArray &value)
{
    const QString text = QString::fromUtf8(value);
    const bool overText = pattern.matches(text);
    const bool overBytes = pattern.matchesUtf8(value.constData(), std::size_t(value.size()));
    if (text.toUtf8() == value)
        FUZZ_CHECK(overText == overBytes);
    const QString server = pattern.serverRegex();
    const QRegularExpression re = test::asPerl(server);
    FUZZ_CHECK(re.isValid());
    const double steps = std::pow(double(text.size() + 1), double(server.count(QLatin1String(".*")) + 1));
    if (test::serverCanHold(value) && steps <= 1e6)
        FUZZ_CHECK(re.match(text).hasMatch() == overText);
    static const QString special = QStringLiteral("*?#[");
    if (std::none_of(written.begin(), written.end(), [](QChar c) { return special.contains(c); }))
        FUZZ_CHECK(pattern.matches(written));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const qsizetype end = bytes.indexOf('\n');
    const QString search = QString::fromUtf8(end < 0 ? bytes : bytes.first(end));
    const QByteArray value = end < 0 ? QByteArray() : bytes.sliced(end + 1);

    QString error;
    if (const std::optional<filter::Expression> e = filter::parse(search, contactFields(), &error)) {
        FUZZ_CHECK(contactFields().contains(e->field));
        run(e->pattern, e->patternText, value);
    } else {
        FUZZ_CHECK(!error.isEmpty());
    }

    error.clear();
    if (const std::optional<filter::Pattern> p = filter::Pattern::compile(search, &error))
        run(*p, search, value);
    else
        FUZZ_CHECK(!error.isEmpty());
    return 0;
}

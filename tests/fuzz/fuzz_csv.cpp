// The CSV reader on the bytes of a file a mail program or a spreadsheet
// wrote: read whole with the first row as header, as the exchange reads it,
// and a record at a time with the header row chosen by the contact columns
// it names, each record turned into a contact, as the contact import does.

#include "fuzzsupport.h"

#include "exchange/contactcolumns.h"
#include "exchange/csvreader.h"

using namespace bm;

namespace
{

const QString shown = QStringLiteral("contacts.csv");

// Lines grow from record to record, and no record is wider than a row may be.
void checkRecord(const csv::Record &r, int &lastLine)
{
    FUZZ_CHECK(r.line > lastLine);
    lastLine = r.line;
    FUZZ_CHECK(r.fields.size() <= csv::mostColumns);
}

void readWhole(const QByteArray &bytes)
{
    csv::Document doc;
    if (const Status s = csv::parse(bytes, shown, doc); !s) {
        FUZZ_CHECK(s.message().contains(shown));
        return;
    }
    FUZZ_CHECK(doc.headerLine >= 1);
    FUZZ_CHECK(doc.header.size() <= csv::mostColumns);
    int lastLine = doc.headerLine;
    for (const csv::Record &r : std::as_const(doc.records))
        checkRecord(r, lastLine);
}

void importContacts(const QByteArray &bytes)
{
    csv::Reader reader;
    const auto score = [](const QStringList &row) { return ContactColumns::match(row).named(); };
    if (const Status s = reader.open(bytes, shown, score); !s) {
        FUZZ_CHECK(s.message().contains(shown));
        return;
    }
    const ContactColumns columns = ContactColumns::match(reader.header());
    for (int c = 0; c < reader.header().size(); ++c)
        (void)columns.target(c);
    csv::Record r;
    int lastLine = reader.headerLine();
    while (reader.next(r)) {
        checkRecord(r, lastLine);
        if (columns.any())
            (void)contactOf(columns.entry(r));
    }
    FUZZ_CHECK(!reader.next(r));
    if (!reader.status())
        FUZZ_CHECK(reader.status().message().contains(shown));
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
    readWhole(bytes);
    importContacts(bytes);
    return 0;
}

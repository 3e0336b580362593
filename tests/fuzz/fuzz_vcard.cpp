// The vCard reader on the bytes of a file a phone or a mail program wrote,
// and each card as the contact import turns it into a contact.

#include "fuzzsupport.h"

#include "exchange/contactcolumns.h"
#include "exchange/vcardreader.h"

using namespace bm;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString shown = QStringLiteral("phone.vcf");
    (void)vcard::looksLikeVCard(bytes);

    vcard::Reader reader;
    if (const Status s = reader.open(bytes, shown); !s) {
        FUZZ_CHECK(s.message().contains(shown));
        return 0;
    }
    ContactEntry entry;
    int lastLine = 0;
    while (reader.next(entry)) {
        // The import lists its problems by these lines.
        FUZZ_CHECK(entry.line > lastLine);
        lastLine = entry.line;
        FUZZ_CHECK(reader.position() <= reader.size());
        (void)contactOf(entry);
    }
    // A reading that stopped stays stopped, and a failure names the file.
    FUZZ_CHECK(!reader.next(entry));
    if (!reader.status())
        FUZZ_CHECK(reader.status().message().contains(shown));
    return 0;
}

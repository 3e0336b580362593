// The reader of the state's site code lists on the bytes of a file a
// spreadsheet or the state's site wrote: every site it gives is one the
// import may write, and every bad line names a line of the file.

#include "fuzzsupport.h"

#include "exchange/sitecodefile.h"

using namespace bm;

namespace
{

const QString shown = QStringLiteral("sites.csv");

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    sitecodefile::Contents contents;
    if (const Status s = sitecodefile::parse(bytes, shown, contents); !s) {
        FUZZ_CHECK(s.message().contains(shown));
        FUZZ_CHECK(contents.sites.isEmpty() && contents.bad.isEmpty());
        return 0;
    }
    for (const sitecodefile::Site &site : std::as_const(contents.sites)) {
        FUZZ_CHECK(!site.code.isEmpty() && site.code.size() <= sitecodefile::longestCode);
        FUZZ_CHECK(site.code == site.code.trimmed() && site.name == site.name.trimmed());
        FUZZ_CHECK(site.name.size() <= sitecodefile::longestName);
    }
    int lastLine = 0;
    for (const sitecodefile::BadLine &bad : std::as_const(contents.bad)) {
        FUZZ_CHECK(bad.line > lastLine && !bad.why.isEmpty());
        lastLine = bad.line;
    }
    return 0;
}

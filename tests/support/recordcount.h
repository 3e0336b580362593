#pragma once

namespace bm
{
class RecordSource;
}

namespace bm::test
{

// The number of records, or -1 when they can not be counted (the reason is
// written to the test's output): never a count a test expects.
int recordCount(const RecordSource &source);

} // namespace bm::test

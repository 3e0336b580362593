#pragma once

#include "core/status.h"

#include <QTest>

namespace bm::test
{

// Records a failed Status as a failure of the running test, with its
// message, and goes on: for helpers that return a value, where QVERIFY can
// not return. True when s succeeded.
inline bool check(const Status &s, const char *expression, const char *file, int line)
{
    return QTest::qVerify(s.isOk(), expression, qPrintable(s.message()), file, line);
}

} // namespace bm::test

// Fails the running test, with the failure's message, when expr fails; in a
// test function (returns from it), like QVERIFY2.
#define BM_VERIFY(expr)                                                                                      \
    do {                                                                                                     \
        const bm::Status bmStatus_ = (expr);                                                                 \
        QVERIFY2(bmStatus_, qPrintable(bmStatus_.message()));                                                \
    } while (false)

// The same in a helper that returns a value: the failure is recorded and
// the helper goes on.
#define BM_CHECK(expr) bm::test::check((expr), #expr, __FILE__, __LINE__)

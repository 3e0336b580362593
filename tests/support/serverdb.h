#pragma once

#include "core/status.h"

#include <QSqlDatabase>
#include <QString>
#include <QTest>

namespace bm::test
{

// The tests that also run against the PostgreSQL engine find the run's
// throwaway server (tests/support/pgcluster.sh) through BM_TEST_SERVER, the
// path of the server's state file. CTest sets it for the tests marked with
// bm_server_test; a test run by hand without it skips the server cases.

// True when BM_TEST_SERVER is set, whether or not the server is there.
bool serverRequested();

// True when BM_TEST_SERVER is set and its state file can be read.
bool serverAvailable();

// The connection URI of the server's "postgres" database, as the superuser
// role bm; empty when no server is available.
QString serverBaseUri();

// The folder the server keeps its socket (and everything else) in; empty
// when no server is available.
QString serverFolder();

// Ok when the server answers a query through the QPSQL driver; otherwise
// why not. A success is remembered for the rest of the process.
Status checkServer();

// Makes a new, empty database on the server, named after label (lower case,
// letters, digits and '_' only), the process and a counter, so that tests
// run in parallel never meet; returns its URI
// (postgresql:///NAME?host=FOLDER&user=bm). Empty, with the reason logged,
// when it could not be made.
QString freshServerDatabase(const QString &label);

// Drops a database freshServerDatabase() made, with whatever connections
// are still open to it; false, with the reason logged, when it could not.
bool dropServerDatabase(const QString &uri);

// Points a QPSQL connection at a server URI (postgresql:///NAME?host=...&
// user=...&port=...). Qt's driver hands libpq a keyword string, and libpq
// takes a URI given as the database name there as a plain name, so the URI
// is taken apart into the driver's own fields. Fails on anything but such a
// URI.
Status setServerUri(QSqlDatabase &db, const QString &uri);

// A QPSQL connection of its own to a server URI: opened when made, closed
// and removed when destroyed. Queries made on database() must be gone first.
class ServerConnection
{
public:
    explicit ServerConnection(const QString &uri);
    ~ServerConnection();
    ServerConnection(const ServerConnection &) = delete;
    ServerConnection &operator=(const ServerConnection &) = delete;

    // Ok when open; otherwise the driver's reason.
    const Status &status() const { return m_status; }
    QSqlDatabase database() const;

private:
    QString m_name;
    Status m_status;
};

} // namespace bm::test

// Skips the running test when the run has no test server. When one was asked
// for (BM_TEST_SERVER set, as under CTest) and does not answer, the test
// fails instead: a server that went away must not pass as "nothing to test".
#define BM_REQUIRE_SERVER()                                                                                  \
    do {                                                                                                     \
        if (!bm::test::serverRequested())                                                                    \
            QSKIP("no test server");                                                                         \
        const bm::Status bmServer_ = bm::test::checkServer();                                                \
        QVERIFY2(bmServer_, qPrintable(bmServer_.message()));                                                \
    } while (false)

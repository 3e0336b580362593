#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

namespace bm::test
{

// Points the application folder at a fresh temporary folder, pins the
// locale to en_US, sets the program's picture memory limit and lays the
// delivered files in. Called once by BM_TEST_MAIN.
void setUpEnvironment();

// Closes every connection and lays a fresh delivered database in: the file,
// or, when the suite runs on the server (BM_TEST_ENGINE=server, see
// bm_both_engines), a fresh database on the test server that the program's
// databasePath() then names.
void resetDatabase();

// Whether this run keeps the program's database on the test server.
bool onServer();

// The temporary folder that stands for the user's data folder.
QString dataHome();

// Deletes every top-level window but keep (popups and menus go with their
// owners), then runs the deletions posted by closed windows.
void deleteWindows(const QWidget *keep = nullptr);

} // namespace bm::test

// For the cases that are about the database file itself (its bytes, its
// pages, its permissions): they have nothing to test on the server.
#define BM_FILE_ONLY()                                                                                       \
    do {                                                                                                     \
        if (bm::test::onServer())                                                                            \
            QSKIP("about the database file; the server keeps its own");                                      \
    } while (false)

#define BM_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        QApplication app(argc, argv);                                                                        \
        bm::test::setUpEnvironment();                                                                        \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

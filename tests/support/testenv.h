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

// Closes every connection and lays a fresh delivered database in.
void resetDatabase();

// The temporary folder that stands for the user's data folder.
QString dataHome();

// Deletes every top-level window (popups and menus go with their owners),
// then runs the deletions posted by closed windows.
void deleteWindows();

} // namespace bm::test

#define BM_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        QApplication app(argc, argv);                                                                        \
        bm::test::setUpEnvironment();                                                                        \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

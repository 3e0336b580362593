#pragma once

#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/input.h"
#include "platform/keyring.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/report.h"
#include "platform/shell.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace bm::test
{

// Records every message box and answers from a script. A box that no test
// expected (the script is empty) fails the running test; so does a box that
// was expected and never came, when the double is cleared or destroyed: keep
// it no longer than the test that scripts it (a member is reset or cleared in
// cleanup(), never in init(), where a failure would skip the next test).
class ScriptedMessages : public platform::MessageService
{
public:
    ScriptedMessages();
    ~ScriptedMessages() override;

    // The next box shown is answered with this.
    void expect(platform::Answer answer = platform::Answer::Ok);
    platform::Answer show(const platform::Message &message, QWidget *parent) override;

    QList<platform::Message> shown;
    const platform::Message &last() const { return shown.constLast(); }
    int pending() const { return int(m_script.size()); }
    // Forgets the boxes shown and fails the running test if a box expected
    // so far has not come.
    void clear();

private:
    struct Expected {
        platform::Answer answer;
        QString test; // the test function, and its row, that expected it
        int number; // the how-manieth box the double expected
    };
    void failOnPending();

    QList<Expected> m_script;
    int m_expected = 0;
};

// Progress windows as a script: records the label of each piece of work and
// what it last told; stops the work whose label begins with `stop` once it
// has told its progress `stopAfter` times.
class ScriptedProgress : public platform::ProgressService
{
public:
    ScriptedProgress();
    ~ScriptedProgress() override;
    std::unique_ptr<Progress> begin(const QString &label, QWidget *parent, const QString &counted) override;

    QStringList labels;
    QStringList counted; // what each piece of work counts, if anything
    QString stop;
    int stopAfter = 0;
    int advances = 0; // of every piece of work
    qint64 lastDone = -1;
    qint64 lastTotal = -1;
};

class FakeShell : public platform::ShellService
{
public:
    FakeShell();
    ~FakeShell() override;
    bool openUrl(const QUrl &url) override
    {
        urls.append(url);
        return canOpen;
    }
    bool startCalculator() override
    {
        ++calculatorStarts;
        return canStartCalculator;
    }

    bool canOpen = true;
    bool canStartCalculator = true;
    QList<QUrl> urls;
    int calculatorStarts = 0;
};

class FakeClock : public platform::ClockService
{
public:
    explicit FakeClock(QDate date = QDate(2026, 12, 8));
    ~FakeClock() override;
    QDate today() override { return date; }
    QDate date;
};

class FakeFileDialogs : public platform::FileDialogService
{
public:
    FakeFileDialogs();
    ~FakeFileDialogs() override;
    QString openFile(const platform::FileRequest &r, QWidget *) override;
    QString saveFile(const platform::FileRequest &r, QWidget *) override;

    QStringList answers; // the next dialog returns the first; empty = cancel
    QList<platform::FileRequest> requests;
};

// Answers the boxes that ask for a text from a script, and records what
// each asked. A box no answer was scripted for fails the running test, as
// an unexpected message box does.
class ScriptedInput : public platform::InputService
{
public:
    ScriptedInput();
    ~ScriptedInput() override;
    std::optional<QString> askText(const platform::TextRequest &request, QWidget *) override;

    // The next box gets the first; nothing stands for its Cancel.
    QList<std::optional<QString>> answers;
    QList<platform::TextRequest> requests;
};

// The desktop's keyring in memory, so that no test reaches the real one.
// Records each use as "read KEY", "write KEY" or "remove KEY"; with failure
// set, every use fails with it and nothing changes. Without a FakeKeyring a
// test that reaches the keyring fails (keyringGuard()).
class FakeKeyring : public platform::KeyringService
{
public:
    FakeKeyring();
    ~FakeKeyring() override;
    Status read(const QString &key, QString &secret, bool &found) override;
    Status write(const QString &key, const QString &secret) override;
    Status remove(const QString &key) override;

    QMap<QString, QString> secrets;
    QStringList uses;
    QString failure;
};

// The keyring every test has until it makes a FakeKeyring: any use fails
// the running test. BM_TEST_MAIN puts it in.
platform::KeyringService &keyringGuard();

class RecordingHelp : public platform::HelpViewerService
{
public:
    RecordingHelp();
    ~RecordingHelp() override;
    void showTopic(const QString &helpFile, int topic) override
    {
        files.append(helpFile);
        topics.append(topic);
    }
    QStringList files;
    QList<int> topics; // 0 is the contents
};

class RecordingReports : public platform::ReportService
{
public:
    RecordingReports();
    ~RecordingReports() override;
    void run(
        const QString &reportFile, Bookmark selection, const QString &guide, const QString &month) override
    {
        files.append(reportFile);
        selections.append(selection);
        guides.append(guide);
        months.append(month);
    }
    QStringList files;
    QList<Bookmark> selections;
    QStringList guides;
    QStringList months;
};

// A plain widget standing in for the main window, made before the hub.
struct FakeMainWindow {
    std::unique_ptr<QWidget> mainWindow = std::make_unique<QWidget>();
};

// The main window's hub over a plain widget: its two record sources follow
// their tables as the main window's do.
class FakeHub : public FakeMainWindow, public platform::MainHub
{
public:
    FakeHub()
        : platform::MainHub(mainWindow.get())
    {
    }

    RecordSource *const contacts = &datContacts();
    RecordSource *const bookings = &datBookings();
    platform::HelpComponent &help = dlgHelp();
    platform::ReportComponent &reports = report();
};

} // namespace bm::test

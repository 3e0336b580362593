#include "doubles.h"

#include <QTest>
#include <QWidget>

namespace bm::test
{

ScriptedMessages::ScriptedMessages()
{
    platform::setMessageService(this);
}
ScriptedMessages::~ScriptedMessages()
{
    platform::setMessageService(nullptr);
}

platform::Answer ScriptedMessages::show(const platform::Message &message, QWidget *)
{
    shown.append(message);
    if (m_script.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected message box: \"%1\"").arg(message.text)), __FILE__,
            __LINE__);
        return message.buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Ok;
    }
    return m_script.takeFirst();
}

FakeShell::FakeShell()
{
    platform::setShellService(this);
}
FakeShell::~FakeShell()
{
    platform::setShellService(nullptr);
}

FakeClock::FakeClock(QDate d)
    : date(d)
{
    platform::setClockService(this);
}
FakeClock::~FakeClock()
{
    platform::setClockService(nullptr);
}

FakeFileDialogs::FakeFileDialogs()
{
    platform::setFileDialogService(this);
}
FakeFileDialogs::~FakeFileDialogs()
{
    platform::setFileDialogService(nullptr);
}

QString FakeFileDialogs::openFile(const platform::FileRequest &r, QWidget *)
{
    requests.append(r);
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QString FakeFileDialogs::saveFile(const platform::FileRequest &r, QWidget *)
{
    requests.append(r);
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

RecordingHelp::RecordingHelp()
{
    platform::setHelpViewerService(this);
}
RecordingHelp::~RecordingHelp()
{
    platform::setHelpViewerService(nullptr);
}

RecordingReports::RecordingReports()
{
    platform::setReportService(this);
}
RecordingReports::~RecordingReports()
{
    platform::setReportService(nullptr);
}

ScriptedProgress::ScriptedProgress()
{
    platform::setProgressService(this);
}

ScriptedProgress::~ScriptedProgress()
{
    platform::setProgressService(nullptr);
}

std::unique_ptr<Progress> ScriptedProgress::begin(const QString &label, QWidget *, const QString &counts)
{
    labels << label;
    counted << counts;
    struct Answer : Progress {
        ScriptedProgress *script = nullptr;
        bool stops = false;
        int told = 0;
        bool advance(qint64 done, qint64 total) override
        {
            ++script->advances;
            script->lastDone = done;
            script->lastTotal = total;
            return !(stops && ++told > script->stopAfter);
        }
    };
    auto answer = std::make_unique<Answer>();
    answer->script = this;
    answer->stops = !stop.isEmpty() && label.startsWith(stop);
    return answer;
}

} // namespace bm::test

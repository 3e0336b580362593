#include "doubles.h"

#include <QTest>
#include <QWidget>

namespace bm::test
{

namespace
{
QString runningTest()
{
    const char *function = QTest::currentTestFunction();
    if (!function)
        return QStringLiteral("(no test function)");
    const char *tag = QTest::currentDataTag();
    return tag ? QStringLiteral("%1(%2)").arg(QLatin1String(function), QLatin1String(tag))
               : QLatin1String(function);
}

QLatin1String answerName(platform::Answer answer)
{
    switch (answer) {
    case platform::Answer::Ok:
        return QLatin1String("Ok");
    case platform::Answer::Yes:
        return QLatin1String("Yes");
    case platform::Answer::No:
        return QLatin1String("No");
    case platform::Answer::Cancel:
        return QLatin1String("Cancel");
    }
    return QLatin1String("?");
}
} // namespace

ScriptedMessages::ScriptedMessages()
{
    platform::setMessageService(this);
}
ScriptedMessages::~ScriptedMessages()
{
    platform::setMessageService(nullptr);
    failOnPending();
}

void ScriptedMessages::expect(platform::Answer answer)
{
    m_script.append({ answer, runningTest(), ++m_expected });
}

void ScriptedMessages::clear()
{
    failOnPending();
    shown.clear();
    m_script.clear();
}

// Each box expected and not shown is named by the test that expected it, its
// place among the boxes expected and its scripted answer; the boxes that did
// come are listed, since one of them may be what the test had in mind.
void ScriptedMessages::failOnPending()
{
    if (m_script.isEmpty())
        return;
    QStringList lines;
    for (const Expected &e : std::as_const(m_script))
        lines << QStringLiteral(
            "%1 expected a message box (box %2 of the script, answered %3) that never showed")
                     .arg(e.test)
                     .arg(e.number)
                     .arg(answerName(e.answer));
    QStringList came;
    for (const platform::Message &m : std::as_const(shown))
        came << QLatin1Char('"') + m.text + QLatin1Char('"');
    lines << QStringLiteral("boxes shown since the last clear: %1")
                 .arg(came.isEmpty() ? QStringLiteral("none") : came.join(QStringLiteral(", ")));
    m_script.clear();
    const QString report = lines.join(QLatin1Char('\n'));
    if (QTest::currentTestFunction()) {
        // A test that failed already stopped before its boxes could come.
        if (!QTest::currentTestFailed())
            QTest::qFail(qPrintable(report), __FILE__, __LINE__);
        return;
    }
    qFatal("%s", qPrintable(report));
}

platform::Answer ScriptedMessages::show(const platform::Message &message, QWidget *)
{
    shown.append(message);
    if (m_script.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected message box: \"%1\"").arg(message.text)), __FILE__,
            __LINE__);
        // The answer that changes nothing: No to a question, Cancel where there is one.
        switch (message.buttons) {
        case platform::Buttons::YesNo:
            return platform::Answer::No;
        case platform::Buttons::YesNoCancel:
            return platform::Answer::Cancel;
        case platform::Buttons::Ok:
            break;
        }
        return platform::Answer::Ok;
    }
    return m_script.takeFirst().answer;
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

ScriptedInput::ScriptedInput()
{
    platform::setInputService(this);
}
ScriptedInput::~ScriptedInput()
{
    platform::setInputService(nullptr);
}

std::optional<QString> ScriptedInput::askText(const platform::TextRequest &request, QWidget *)
{
    requests.append(request);
    if (answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected box asking: \"%1\"").arg(request.question)),
            __FILE__, __LINE__);
        return std::nullopt;
    }
    return answers.takeFirst();
}

FakeKeyring::FakeKeyring()
{
    platform::setKeyringService(this);
}
FakeKeyring::~FakeKeyring()
{
    platform::setKeyringService(&keyringGuard());
}

Status FakeKeyring::read(const QString &key, QString &secret, bool &found)
{
    uses << QStringLiteral("read ") + key;
    secret.clear();
    found = false;
    if (!failure.isEmpty())
        return Status::failure(failure);
    found = secrets.contains(key);
    secret = secrets.value(key);
    return Status::ok();
}

Status FakeKeyring::write(const QString &key, const QString &secret)
{
    uses << QStringLiteral("write ") + key;
    if (!failure.isEmpty())
        return Status::failure(failure);
    secrets.insert(key, secret);
    return Status::ok();
}

Status FakeKeyring::remove(const QString &key)
{
    uses << QStringLiteral("remove ") + key;
    if (!failure.isEmpty())
        return Status::failure(failure);
    secrets.remove(key);
    return Status::ok();
}

platform::KeyringService &keyringGuard()
{
    struct Guard : platform::KeyringService {
        Status refuse(const QString &what, const QString &key)
        {
            const QString text
                = QStringLiteral("A test reached the keyring (%1 %2) without a FakeKeyring").arg(what, key);
            if (QTest::currentTestFunction())
                QTest::qFail(qPrintable(text), __FILE__, __LINE__);
            else
                qFatal("%s", qPrintable(text));
            return Status::failure(text);
        }
        Status read(const QString &key, QString &, bool &found) override
        {
            found = false;
            return refuse(QStringLiteral("read"), key);
        }
        Status write(const QString &key, const QString &) override
        {
            return refuse(QStringLiteral("write"), key);
        }
        Status remove(const QString &key) override { return refuse(QStringLiteral("remove"), key); }
    };
    static Guard guard;
    return guard;
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

#include "platform/progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include <algorithm>

namespace bm::platform
{

namespace
{

// How long work runs before its window shows, and how often the window
// is brought up to date.
constexpr int showAfterMs = 500;
constexpr int refreshMs = 50;

class ProgressWindow : public Progress
{
public:
    ProgressWindow(const QString &label, QWidget *parent, const QString &counted)
        : m_dialog(label, QStringLiteral("Cancel"), 0, 0, parent)
        , m_label(label)
        , m_counted(counted)
    {
        m_dialog.setObjectName(QStringLiteral("dlgProgress"));
        m_dialog.setWindowTitle(QStringLiteral("Brindlemoor"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(showAfterMs);
        m_dialog.setAutoReset(false);
        m_dialog.setAutoClose(false);
        m_started.start();
        m_refreshed.start();
    }

    bool advance(qint64 done, qint64 total) override
    {
        if (m_refreshed.elapsed() < refreshMs)
            return !m_dialog.wasCanceled();
        m_refreshed.restart();
        // The bar counts thousandths, so that sizes of files fit its range.
        const int value = total > 0 ? int(std::clamp<qint64>(done * 1000 / total, 0, 1000)) : 0;
        m_dialog.setMaximum(total > 0 ? 1000 : 0);
        if (!m_counted.isEmpty()) // "Saving... 12 of 401 pages"; "401 pages so far" while counting
            m_dialog.setLabelText(m_label + QLatin1Char('\n')
                + (total > 0 ? QStringLiteral("%1 of %2 %3").arg(done).arg(total).arg(m_counted)
                             : QStringLiteral("%1 %2 so far").arg(done).arg(m_counted)));
        if (!m_dialog.isVisible() && m_started.elapsed() >= showAfterMs)
            m_dialog.show();
        m_dialog.setValue(value);
        QCoreApplication::processEvents(); // the windows paint; Cancel is heard
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
    QString m_label;
    QString m_counted;
    QElapsedTimer m_started;
    QElapsedTimer m_refreshed;
};

class Windows : public ProgressService
{
public:
    std::unique_ptr<Progress> begin(const QString &label, QWidget *parent, const QString &counted) override
    {
        return std::make_unique<ProgressWindow>(label, parent, counted);
    }
};

Windows production;
ProgressService *current = &production;

} // namespace

ProgressService &progressService()
{
    return *current;
}

void setProgressService(ProgressService *service)
{
    current = service ? service : &production;
}

std::unique_ptr<Progress> progress(const QString &label, QWidget *parent, const QString &counted)
{
    return current->begin(label, parent, counted);
}

} // namespace bm::platform

#pragma once

#include "core/progress.h"

#include <QString>

#include <memory>

class QWidget;

namespace bm::platform
{

// Every progress window of the program goes through this seam. Production
// shows a window modal to its parent with the work's label, how far it has
// come and Cancel, once the work has taken about half a second; the windows
// keep painting meanwhile. Work that counts things (counted: "pages") shows
// the count done of the count known. Tests stop the work at a chosen point.
class ProgressService
{
public:
    virtual ~ProgressService() = default;
    virtual std::unique_ptr<Progress> begin(const QString &label, QWidget *parent, const QString &counted)
        = 0;
};

ProgressService &progressService();
void setProgressService(ProgressService *service); // nullptr restores production

// The progress of one piece of work; its window closes when it goes.
std::unique_ptr<Progress> progress(const QString &label, QWidget *parent, const QString &counted = {});

} // namespace bm::platform

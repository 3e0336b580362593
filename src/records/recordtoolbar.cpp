#include "records/recordtoolbar.h"

#include <QAction>
#include <QHash>
#include <QStyle>
#include <QToolBar>

namespace bm
{

void setToolbarPictures(QToolBar *toolbar)
{
    static const QHash<QString, QStyle::StandardPixmap> pictures {
        { QStringLiteral("New"), QStyle::SP_FileIcon },
        { QStringLiteral("Edit"), QStyle::SP_FileDialogDetailedView },
        { QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton },
        { QStringLiteral("Undo"), QStyle::SP_DialogCancelButton },
        { QStringLiteral("Save"), QStyle::SP_DialogSaveButton },
        { QStringLiteral("Delete"), QStyle::SP_TrashIcon },
        { QStringLiteral("First"), QStyle::SP_MediaSkipBackward },
        { QStringLiteral("Back"), QStyle::SP_ArrowBack },
        { QStringLiteral("Next"), QStyle::SP_ArrowForward },
        { QStringLiteral("Last"), QStyle::SP_MediaSkipForward },
        { QStringLiteral("Find"), QStyle::SP_FileDialogContentsView },
        { QStringLiteral("Print"), QStyle::SP_FileDialogListView },
        { QStringLiteral("Help"), QStyle::SP_DialogHelpButton },
        { QStringLiteral("Exit"), QStyle::SP_DialogCloseButton },
    };
    QStyle *style = toolbar->style();
    for (QAction *a : toolbar->actions()) {
        const auto it = pictures.constFind(a->data().toString());
        if (it != pictures.constEnd())
            a->setIcon(style->standardIcon(*it, nullptr, toolbar));
    }
}

} // namespace bm

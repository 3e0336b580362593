#include "platform/filedialogs.h"

#include <QDir>
#include <QFileDialog>

namespace bm::platform
{

namespace
{

class QtFileDialogs : public FileDialogService
{
public:
    QString openFile(const FileRequest &r, QWidget *parent) override
    {
        QFileDialog dialog(parent, r.title, QDir::currentPath(), r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (!r.proposedName.isEmpty())
            dialog.selectFile(r.proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    QString saveFile(const FileRequest &r, QWidget *parent) override
    {
        QFileDialog dialog(parent, r.title, QDir::currentPath(), r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        if (!r.proposedName.isEmpty())
            dialog.selectFile(r.proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

QtFileDialogs production;
FileDialogService *current = &production;

} // namespace

FileDialogService &fileDialogService()
{
    return *current;
}
void setFileDialogService(FileDialogService *service)
{
    current = service ? service : &production;
}

} // namespace bm::platform

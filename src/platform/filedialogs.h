#pragma once

#include <QString>

class QWidget;

namespace bm::platform
{

struct FileRequest {
    QString title;
    QString filter; // Qt's form: "Database Files (*.mdb)"
    QString proposedName; // a file name, or empty
    bool confirmOverwrite = true; // save dialogs only
};

// The open and save file dialogs. An empty result means the user cancelled.
class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    virtual QString openFile(const FileRequest &request, QWidget *parent) = 0;
    virtual QString saveFile(const FileRequest &request, QWidget *parent) = 0;
};

FileDialogService &fileDialogService();
void setFileDialogService(FileDialogService *service); // nullptr restores production

inline QString openFileName(const FileRequest &r, QWidget *parent = nullptr)
{
    return fileDialogService().openFile(r, parent);
}
inline QString saveFileName(const FileRequest &r, QWidget *parent = nullptr)
{
    return fileDialogService().saveFile(r, parent);
}

} // namespace bm::platform

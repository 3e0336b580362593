#pragma once

#include <QWidget>

namespace bm
{

// "About": the program's name, version, maker and legal notice.
class FrmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit FrmAbout(QWidget *parent = nullptr);

    static QString version();
};

} // namespace bm

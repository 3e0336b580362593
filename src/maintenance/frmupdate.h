#pragma once

#include <QUrl>
#include <QWidget>

namespace bm
{

// "Check for Update": sends the user to the maker's web site, where updates
// are offered.
class FrmUpdate : public QWidget
{
    Q_OBJECT
public:
    explicit FrmUpdate(QWidget *parent = nullptr);

    // The page of the web site that offers the updates.
    static QUrl updateAddress();

    void checkNow();
};

} // namespace bm

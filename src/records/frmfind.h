#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;

namespace bm
{

class TripFinder;
struct FindCommand;

// "Search Form": every dated booking, and after a search the bookings whose
// chosen field holds the search word. The list is for reading only.
class FrmFind : public QWidget
{
    Q_OBJECT
public:
    explicit FrmFind(QWidget *parent = nullptr);

    TripFinder *finder() const { return m_finder; }

    // One search command: the list shows what the word finds in its field.
    void search(const FindCommand &command);

private:
    TripFinder *m_finder;
    QLineEdit *m_word;
    QListWidget *m_list;
};

} // namespace bm

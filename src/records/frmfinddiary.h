#pragma once

#include "db/recordsource.h"

#include <QVector>
#include <QWidget>

class QLabel;
class QListWidget;

namespace bm
{

// "Find Log Page By:": the subjects and dates of every diary page side by
// side, from its own record source. A click on a line moves the diary to
// that page by its bookmark and closes the finder.
class FrmFinddiary : public QWidget
{
    Q_OBJECT
public:
    explicit FrmFinddiary(QWidget *parent = nullptr);

    RecordSource *diary() const { return m_diary; }
    QListWidget *subjects() const { return m_subjects; } // DBList1
    QListWidget *dates() const { return m_dates; } // DBList2

    // The page of this line. The diary moves to it and the finder closes;
    // a diary that was closed opens again on it. While the diary has a page
    // being written the choice is refused: nothing moves and the finder
    // stays open.
    void choose(int line);

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readLists();

    RecordSource *m_diary;
    QListWidget *m_subjects;
    QListWidget *m_dates;
    QLabel *m_count; // Label4
    QVector<Bookmark> m_pages; // the page of each line
    bool m_chosen = false;
};

} // namespace bm

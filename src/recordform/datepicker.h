#pragma once

#include <QDate>
#include <QDateEdit>

namespace bm
{

// A date picker in the short date format (four-digit year) with a calendar
// drop-down, that can also hold no date (shown blank).
class DatePicker : public QDateEdit
{
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);

    // An invalid date clears the picker.
    void setValue(const QDate &date);
    // The date, or an invalid date when the picker holds none.
    QDate value() const;
    bool isEmpty() const { return date() == minimumDate(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startFromToday();
};

} // namespace bm

#pragma once

#include "domain/guides.h"

#include <QDialog>

class QComboBox;
class QLabel;

namespace bm
{

// "Assign Guide": the guide of one booking, chosen from the active guides
// of the roster or none. OK writes it; a guide who already has another
// trip that day is said, but the assignment stands.
class FrmAssignGuide : public QDialog
{
    Q_OBJECT
public:
    explicit FrmAssignGuide(Bookmark booking, QWidget *parent = nullptr);

    // Reads the booking and the roster; a failure leaves nothing to choose.
    [[nodiscard]] Status load();

    // Writes the chosen guide and closes; stays open when it can not.
    void accept() override;

private:
    Bookmark m_booking;
    guides::BookingLine m_line;
    QString m_guideBefore;
    QLabel *m_date; // lblDate
    QLabel *m_lake; // lblLake
    QLabel *m_client; // lblClient
    QComboBox *m_guide; // cboGuide
};

// Utilities > Assign Guide: the dialog on the main window's current
// booking, or a word that there is none.
void assignGuideToCurrentBooking(QWidget *parent);

} // namespace bm

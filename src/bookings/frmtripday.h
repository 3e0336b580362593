#pragma once

#include "domain/homewater.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace bm
{

namespace platform
{
class MainHub;
}

// "Trip Day": the main window's current booking (following it as the guide
// moves), the moon's phase of its day, sunrise, sunset and the solunar
// periods at the guide's home water, and a confirmation the client can keep,
// sent through the outbox (or the e-mail program). The home water's position is typed here
// once and kept in the database.
class FrmTripDay : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTripDay(QWidget *parent = nullptr);

    // Shows the current booking of the main window again.
    void showBooking();
    // Keeps the typed position; false (and said) when it is not one.
    bool savePosition();
    // Puts the confirmation of the current booking in the outbox when mail
    // is set up and the confirmation is on; otherwise hands it to the
    // e-mail program.
    void sendConfirmation();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void readPosition();
    void showSky(const QDate &day);
    // What the boxes show of the kept position: latitude, longitude.
    std::pair<QString, QString> keptTexts() const;
    bool positionTyped() const; // the boxes differ from what is kept

    QPointer<platform::MainHub> m_hub;
    homewater::Kept m_kept;

    QLabel *m_client;
    QLabel *m_date;
    QLabel *m_lake;
    QLabel *m_meetAt;
    QLabel *m_type;
    QLabel *m_moon;
    QLabel *m_sunrise;
    QLabel *m_sunset;
    QLabel *m_solunar;
    QLabel *m_note;
    QLineEdit *m_latitude;
    QLineEdit *m_longitude;
    QPushButton *m_savePosition;
    QPushButton *m_confirm;
};

} // namespace bm

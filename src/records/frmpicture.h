#pragma once

#include "db/recordsource.h"
#include "records/pictureview.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QWindow;

namespace bm
{

// "Picture Viewer": the picture of one booking, whose file path the booking
// keeps. A picture chosen here becomes the booking's when the window closes.
class FrmPicture : public QWidget
{
    Q_OBJECT
public:
    explicit FrmPicture(QWidget *parent = nullptr);

    RecordSource *booking() const { return m_booking; }
    PictureBox *image() const { return m_image; }

    // Stands on the booking; a picture chosen for the booking shown so far
    // is written to it first.
    Status showBooking(Bookmark booking);

    // Loads the booking's picture file into the box with the sizing in force;
    // a path that does not load says so and leaves the box empty.
    void showStoredPicture();

    void selectPicture();
    void printPicture();

    // The window is being brought forward by the program: the activation
    // that follows does not load the picture again.
    void expectActivation() { m_expectingActivation = true; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void focusWindowChanged(QWindow *now);
    Status writeChosenPath();

    RecordSource *m_booking;
    QLabel *m_date;
    QLabel *m_lake;
    PictureBox *m_image;
    QPlainTextEdit *m_path;

    picture::Sizing m_sizing = picture::Sizing::Stretch;
    bool m_chosen = false; // a picture was selected and not yet written
    bool m_displayed = false;
    bool m_hadFocus = false;
    bool m_expectingActivation = false;
    bool m_showing = false;
    QPointer<QWindow> m_lastFocus;
};

// View Pictures: the picture window on the booking the bookmark names.
FrmPicture *openPictures(Bookmark booking);

} // namespace bm

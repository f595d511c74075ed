#pragma once

#include <QDialog>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace dorvel::dialogs {

/// The high-score window shown at the end of a game: the twenty best results
/// read afresh from "dorvel.cfg", and the choice between another game with the
/// same players and leaving the table. A small borderless window framed in
/// maroon over the right-hand part of the game table; the caller shows it
/// modally and then reads `playAgain`. It never writes the file.
class TfrmHighscore : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmHighscore(
        QWidget *owner = nullptr); // its FormCreate reads "dorvel.cfg" and fills the rows

    /// True only when the player chose "Noch ein Spiel !".
    bool playAgain = false;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private Q_SLOTS:
    void btnNochmalClick();
    void btnBeendenClick();

private:
    void FormCreate();
    void FormKeyDown(QKeyEvent *event);

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *btnNochmal = nullptr;
    QPushButton *btnBeenden = nullptr;
};

} // namespace dorvel::dialogs

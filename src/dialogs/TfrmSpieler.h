#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dorvel::resources {
class ResourceLoader;
}

namespace dorvel::dialogs {

/**
 * The player-names dialog (`frmSpieler`), shown before every game: one labelled
 * name field per player. OK fills every empty field of a playing player with
 * "Spieler n" and ends with result 1; Escape ends with result 2 and leaves the
 * fields as typed. Nothing else closes it: not Enter, not the system's close
 * command.
 *
 * Creating it loads the resource library for its background. When the library is
 * missing it shows the error box and libraryMissing() is true: the caller must
 * then end the program instead of showing the dialog.
 */
class TfrmSpieler : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit TfrmSpieler(resources::ResourceLoader &resources, QWidget *parent = nullptr);
    ~TfrmSpieler() override;

    /// Number of players, 1..4; set by the caller before the dialog is shown.
    int playerCount = 1;
    /// 1 once OK has been clicked: the dialog ends with OK.
    int Tag = 0;

    bool libraryMissing() const { return m_libraryMissing; }
    /// The four name fields as they stand, players 1..4 at indexes 0..3.
    std::array<QString, 4> playerNames() const;
    bool closeAllowed() const { return m_closeAllowed; }

    // Event handlers.
    void FormCreate();
    void FormShow();
    void SpeedButton1Click();
    /// Whether the dialog may close now.
    bool FormCloseQuery();
    /// True when the key was consumed (Escape, and Enter, which must not confirm).
    bool FormKeyDown(int key);

    // Controls (children, also found by objectName); index 0 is player 1.
    QFrame *Panel1 = nullptr;
    QLabel *imgSpielerBckGrnd = nullptr;
    std::array<QLabel *, 4> Label {};
    std::array<QLineEdit *, 4> efdSpieler {};
    QPushButton *SpeedButton1 = nullptr;

public Q_SLOTS:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    /// Ends the modal showing if closing is allowed; OK when Tag is 1.
    void closeRequest(int result);

    resources::ResourceLoader &m_resources;
    bool m_closeAllowed = false;
    bool m_libraryMissing = false;
};

} // namespace dorvel::dialogs

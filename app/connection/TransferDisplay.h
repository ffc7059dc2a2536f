#pragma once
// The transfer display of the explorer tab, below the local file list: the
// labels "progression", "cent", "debit" and "encours", the bar ProgressBar1
// (all hidden until a transfer command shows them) and the pie "camembert".
// The window feeds it the client's transfer notifications.
//
// Position and maximum are byte counts (64-bit); the bar is scaled when a
// size does not fit its range. A maximum of 0, or a size text that is not a
// number, leaves the size unknown: no percentage and no pie picture then.

#include <QWidget>
#include <memory>

class QLabel;
class QProgressBar;

class TTransferDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit TTransferDisplay(QWidget *parent = nullptr);
    ~TTransferDisplay() override;

    QLabel *Progression() const;
    QProgressBar *ProgressBar() const;
    QLabel *Cent() const;
    QLabel *Debit() const;
    QLabel *Encours() const;
    QLabel *Camembert() const;

    // What the commands that start a transfer do first.
    void ShowControls();

    qint64 Maximum() const;
    qint64 Position() const;
    // The size text of a transfer notification (decimal digits).
    void SetMaximumText(const QString &sizeText);
    void SetMaximum(qint64 bytes);
    // Moves the bar; with a positive elapsed time the speed label shows
    // position / elapsed seconds in KB (1024 bytes) per second.
    void SetProgress(qint64 position, qint64 elapsedMs);
    // The end of a transfer: position 0, controls hidden, no pie picture.
    void TransferDone();

    // The step after every notification: the current-file label and the pie.
    void ShowFileAndPie();
    void ClearPie();
    // The pie's picture index, or NoPiePicture.
    int PieIndex() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// "Debit actuel: " and the speed in the locale's "#,##0.00" form.
QString TransferSpeedText(qint64 bytes, qint64 elapsedMs);

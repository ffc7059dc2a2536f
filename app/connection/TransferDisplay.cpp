#include "TransferDisplay.h"

#include "PiePictures.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <limits>

namespace {
template <typename T>
T *Named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

// The number of bits a size is shifted right so that it fits the bar.
int BarShift(qint64 maximum)
{
    int shift = 0;
    while ((maximum >> shift) > std::numeric_limits<int>::max())
        ++shift;
    return shift;
}
}

struct TTransferDisplay::Private {
    QLabel *progression = nullptr;
    QProgressBar *bar = nullptr;
    QLabel *cent = nullptr;
    QLabel *debit = nullptr;
    QLabel *encours = nullptr;
    QLabel *camembert = nullptr;
    qint64 maximum = 100;
    qint64 position = 0;
    int pie = NoPiePicture;

    void ShowOnBar()
    {
        if (maximum <= 0) {
            // Nothing to measure against: an empty bar, not a busy one.
            bar->setRange(0, 1);
            bar->setValue(0);
            return;
        }
        const int shift = BarShift(maximum);
        bar->setRange(0, int(maximum >> shift));
        bar->setValue(int(qBound<qint64>(0, position, maximum) >> shift));
    }
};

TTransferDisplay::TTransferDisplay(QWidget *parent) : QWidget(parent), d(std::make_unique<Private>())
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setSpacing(2);
    d->camembert = Named(new QLabel(this), "camembert");
    d->camembert->setFixedSize(PiePictureSize, PiePictureSize);
    d->progression = Named(new QLabel(QStringLiteral("Progression : 0 "), this), "progression");
    d->bar = Named(new QProgressBar(this), "ProgressBar1");
    d->bar->setRange(0, 100);
    d->bar->setValue(0);
    d->bar->setTextVisible(false);
    d->cent = Named(new QLabel(QStringLiteral(" 100"), this), "cent");
    d->debit = Named(new QLabel(QStringLiteral("Débit actuel :"), this), "debit");
    d->encours = Named(new QLabel(QStringLiteral("Fichier en cours de transfert :"), this), "encours");
    // The speed and the file line each have a row of their own: their texts
    // grow during a transfer and must not push the explorer's panes aside
    // (where room is short they are cut, never the layout widened).
    grid->addWidget(d->camembert, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(d->progression, 0, 1);
    grid->addWidget(d->bar, 0, 2);
    grid->addWidget(d->cent, 0, 3);
    grid->addWidget(d->debit, 1, 1, 1, 3);
    grid->addWidget(d->encours, 2, 1, 1, 3);
    grid->setColumnStretch(2, 1);
    for (QLabel *growing : {d->debit, d->encours})
        growing->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QWidget *hidden : std::initializer_list<QWidget *>{d->progression, d->bar, d->cent, d->debit, d->encours})
        hidden->setVisible(false);
}

TTransferDisplay::~TTransferDisplay() = default;

QLabel *TTransferDisplay::Progression() const { return d->progression; }
QProgressBar *TTransferDisplay::ProgressBar() const { return d->bar; }
QLabel *TTransferDisplay::Cent() const { return d->cent; }
QLabel *TTransferDisplay::Debit() const { return d->debit; }
QLabel *TTransferDisplay::Encours() const { return d->encours; }
QLabel *TTransferDisplay::Camembert() const { return d->camembert; }

void TTransferDisplay::ShowControls()
{
    for (QWidget *control : std::initializer_list<QWidget *>{d->bar, d->progression, d->encours, d->debit, d->cent})
        control->setVisible(true);
}

qint64 TTransferDisplay::Maximum() const { return d->maximum; }
qint64 TTransferDisplay::Position() const { return d->position; }

void TTransferDisplay::SetMaximumText(const QString &sizeText)
{
    bool ok = false;
    const qint64 bytes = sizeText.trimmed().toLongLong(&ok);
    SetMaximum(ok && bytes > 0 ? bytes : 0);
}

void TTransferDisplay::SetMaximum(qint64 bytes)
{
    d->maximum = qMax<qint64>(0, bytes);
    d->ShowOnBar();
}

void TTransferDisplay::SetProgress(qint64 position, qint64 elapsedMs)
{
    d->position = qMax<qint64>(0, position);
    d->ShowOnBar();
    if (elapsedMs > 0)
        d->debit->setText(TransferSpeedText(d->position, elapsedMs));
}

void TTransferDisplay::TransferDone()
{
    d->position = 0;
    d->ShowOnBar();
    for (QWidget *control : std::initializer_list<QWidget *>{d->progression, d->bar, d->encours, d->debit, d->cent})
        control->setVisible(false);
    ClearPie();
}

void TTransferDisplay::ShowFileAndPie()
{
    d->encours->setText(QStringLiteral("Fichier en cours de transfert: %1/%2 Bytes").arg(d->position).arg(d->maximum));
    const int picture = PiePictureFor(d->position, d->maximum);
    if (picture == KeepPiePicture)
        return;
    if (picture == NoPiePicture) {
        ClearPie();
        return;
    }
    d->pie = picture;
    d->camembert->setPixmap(PiePicture(picture));
}

void TTransferDisplay::ClearPie()
{
    d->pie = NoPiePicture;
    d->camembert->clear();
}

int TTransferDisplay::PieIndex() const { return d->pie; }

QString TransferSpeedText(qint64 bytes, qint64 elapsedMs)
{
    const double kilobytesPerSecond = double(bytes) / (double(elapsedMs) / 1000.0) / 1024.0;
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return QStringLiteral("Debit actuel: ") + locale.toString(kilobytesPerSecond, 'f', 2)
        + QStringLiteral(" KB par seconde");
}

// TFormListPrint: the print preview window (see FormListPrint.h).
#include "FormListPrint.h"

#include "Prompts.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int StartZoom = 30;

QString WindowCaption()
{
    return QStringLiteral("Prévisualisation avant impression");
}

} // namespace

TFormListPrint::TFormListPrint(QWidget *parent)
    : QDialog(parent), printer(QPrinter::HighResolution)
{
    setWindowTitle(WindowCaption());
    printer.setDocName(TListViewPrint::JobTitle());
    printer.setFullPage(true); // the pages are laid out from the paper's edges

    auto *bar = new QHBoxLayout;
    // The page selector: arrows and a slider, from 1 to the page count,
    // stopping at both ends.
    pageSelector = new QScrollBar(Qt::Horizontal, this);
    pageSelector->setRange(1, 1);
    pageSelector->setPageStep(1);
    pageSelector->setMinimumWidth(90);
    pageSelector->setToolTip(QStringLiteral("Page"));
    bar->addWidget(pageSelector);
    bar->addWidget(new QLabel(QStringLiteral(" Page:  "), this));
    currentPage = new QLabel(QStringLiteral("1"), this);
    bar->addWidget(currentPage);
    bar->addWidget(new QLabel(QStringLiteral(" de: "), this));
    pageCount = new QLabel(QStringLiteral("1"), this);
    bar->addWidget(pageCount);
    bar->addSpacing(12);

    auto *orientationBox = new QGroupBox(QStringLiteral("Orientation"), this);
    auto *orientationLayout = new QHBoxLayout(orientationBox);
    portrait = new QRadioButton(QStringLiteral("Portrait"), orientationBox);
    landscape = new QRadioButton(QStringLiteral("Paysage"), orientationBox);
    portrait->setChecked(true);
    orientationLayout->addWidget(portrait);
    orientationLayout->addWidget(landscape);
    auto *orientationGroup = new QButtonGroup(this);
    orientationGroup->addButton(portrait);
    orientationGroup->addButton(landscape);
    bar->addWidget(orientationBox);
    bar->addSpacing(12);

    zoom = new QSlider(Qt::Horizontal, this);
    zoom->setRange(0, 100);
    zoom->setTickInterval(10);
    zoom->setTickPosition(QSlider::TicksBelow);
    zoom->setValue(StartZoom);
    zoom->setMinimumWidth(120);
    bar->addWidget(zoom);
    bar->addWidget(new QLabel(QStringLiteral(" Zoom"), this));
    bar->addStretch(1);

    printButton = new QPushButton(QStringLiteral("Imprimer"), this);
    quitButton = new QPushButton(QStringLiteral("Quitter"), this);
    printButton->setAutoDefault(false);
    quitButton->setAutoDefault(false);
    bar->addWidget(printButton);
    bar->addWidget(quitButton);

    preview = new QPrintPreviewWidget(&printer, this);
    preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    preview->setZoomMode(QPrintPreviewWidget::CustomZoom);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(preview, 1);

    connect(preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *target) {
        listViewPrint.Render(*target);
    });
    connect(preview, &QPrintPreviewWidget::previewChanged, this, &TFormListPrint::UpdatePages);
    connect(pageSelector, &QScrollBar::valueChanged, this, &TFormListPrint::ShowPage);
    connect(zoom, &QSlider::valueChanged, this, &TFormListPrint::SetZoom);
    connect(landscape, &QRadioButton::toggled, this, &TFormListPrint::SetLandscape);
    connect(printButton, &QPushButton::clicked, this, &TFormListPrint::PrintClicked);
    connect(quitButton, &QPushButton::clicked, this, &TFormListPrint::close);

    SetZoom(StartZoom);
    resize(900, 680);
}

TFormListPrint::~TFormListPrint() = default;

TListViewPrint &TFormListPrint::ListViewPrint1()
{
    return listViewPrint;
}

QPrinter &TFormListPrint::Printer()
{
    return printer;
}

bool TFormListPrint::Print()
{
    QString error;
    if (listViewPrint.Print(printer, &error))
        return true;
    Prompts().Message(this, WindowCaption(), error, TMessageKind::Error);
    return false;
}

void TFormListPrint::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CentreOnScreen();
    preview->updatePreview();
    UpdatePages();
}

void TFormListPrint::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        UpdatePages();
}

// Centred on the screen, and no larger than nine tenths of it.
void TFormListPrint::CentreOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize decoration = frameGeometry().size() - size();
    const QSize largest = available.size() * 9 / 10 - decoration;
    if (width() > largest.width() || height() > largest.height())
        resize(size().boundedTo(largest).expandedTo(minimumSizeHint()));
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(frame.topLeft());
}

// The selector's range and both labels follow the pages the preview holds.
void TFormListPrint::UpdatePages()
{
    const int count = std::max(1, preview->pageCount());
    const QSignalBlocker blocker(pageSelector);
    pageSelector->setMaximum(count);
    const int shown = std::clamp(preview->currentPage(), 1, count);
    pageSelector->setValue(shown);
    currentPage->setText(QString::number(shown));
    pageCount->setText(QString::number(count));
}

void TFormListPrint::ShowPage(int page)
{
    preview->setCurrentPage(page);
    currentPage->setText(QString::number(page));
}

void TFormListPrint::SetZoom(int percent)
{
    // 0 would draw nothing: the smallest zoom still shows the page.
    preview->setZoomFactor(std::max(percent, 1) / 100.0);
}

void TFormListPrint::SetLandscape(bool toLandscape)
{
    const QPageLayout::Orientation orientation = toLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    listViewPrint.SetOrientation(orientation);
    printer.setPageOrientation(orientation);
    preview->setOrientation(orientation);
    UpdatePages();
}

void TFormListPrint::PrintClicked()
{
    listViewPrint.Build();
    if (Print())
        preview->updatePreview();
}

QPrintPreviewWidget *TFormListPrint::Preview() const
{
    return preview;
}

QScrollBar *TFormListPrint::PageSelector() const
{
    return pageSelector;
}

QLabel *TFormListPrint::CurrentPageLabel() const
{
    return currentPage;
}

QLabel *TFormListPrint::PageCountLabel() const
{
    return pageCount;
}

QRadioButton *TFormListPrint::PortraitButton() const
{
    return portrait;
}

QRadioButton *TFormListPrint::LandscapeButton() const
{
    return landscape;
}

QSlider *TFormListPrint::ZoomBar() const
{
    return zoom;
}

QPushButton *TFormListPrint::PrintButton() const
{
    return printButton;
}

QPushButton *TFormListPrint::QuitButton() const
{
    return quitButton;
}

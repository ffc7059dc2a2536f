#pragma once
// TFormListPrint: the print preview window "Prévisualisation avant
// impression". It owns the list printer ListViewPrint1 and the printer it
// prints on; the preview fills the window under a tool bar with the page
// selector and its labels, the "Orientation" choice, the zoom bar and the
// "Imprimer" and "Quitter" buttons. Shown modally by the preview command;
// the print command uses it without showing it (Print()).

#include "ListViewPrint.h"

#include <QDialog>
#include <QPrinter>

class QLabel;
class QPrintPreviewWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;

class TFormListPrint : public QDialog
{
    Q_OBJECT
public:
    explicit TFormListPrint(QWidget *parent = nullptr);
    ~TFormListPrint() override;

    TListViewPrint &ListViewPrint1();
    QPrinter &Printer();

    // Prints the built lines at once, without the window; a failure is shown
    // to the user. False when nothing was printed.
    bool Print();

    // The controls, for the window's owner and its tests.
    QScrollBar *PageSelector() const;
    QLabel *CurrentPageLabel() const;
    QLabel *PageCountLabel() const;
    QRadioButton *PortraitButton() const;
    QRadioButton *LandscapeButton() const;
    QSlider *ZoomBar() const;
    QPushButton *PrintButton() const;
    QPushButton *QuitButton() const;
    QPrintPreviewWidget *Preview() const;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void UpdatePages();
    void ShowPage(int page);
    void SetZoom(int percent);
    void SetLandscape(bool landscape);
    void PrintClicked();
    void CentreOnScreen();

    QPrinter printer;
    TListViewPrint listViewPrint;
    QPrintPreviewWidget *preview = nullptr;
    QScrollBar *pageSelector = nullptr;
    QLabel *currentPage = nullptr;
    QLabel *pageCount = nullptr;
    QRadioButton *portrait = nullptr;
    QRadioButton *landscape = nullptr;
    QSlider *zoom = nullptr;
    QPushButton *printButton = nullptr;
    QPushButton *quitButton = nullptr;
};

#include "Logo.h"

#include "AppIcon.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

Tlogo::Tlogo(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("logo"));
    setFixedSize(238, 197);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);

    auto *picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(VelmarPicture(32));
    picture->setAlignment(Qt::AlignCenter);

    QPalette red = palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));

    auto *name = new QLabel(QStringLiteral("Velmar"), panel);
    name->setObjectName(QStringLiteral("Label1"));
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setItalic(true);
    nameFont.setPointSize(24);
    name->setFont(nameFont);
    name->setPalette(red);
    name->setAlignment(Qt::AlignCenter);

    auto *version = new QLabel(QStringLiteral("Version 10.1.2"), panel);
    version->setObjectName(QStringLiteral("Label2"));
    version->setPalette(red);
    version->setAlignment(Qt::AlignCenter);

    auto *inner = new QVBoxLayout(panel);
    inner->addStretch();
    inner->addWidget(picture);
    inner->addWidget(name);
    inner->addWidget(version);
    inner->addStretch();

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
}

void Tlogo::ShowAndPaint()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
    show();
    repaint();
    QCoreApplication::processEvents();
}

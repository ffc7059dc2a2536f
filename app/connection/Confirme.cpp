#include "Confirme.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {
TConfirmFormRunner &Runner()
{
    static TConfirmFormRunner runner;
    return runner;
}

constexpr QSize ClientArea(409, 97);
}

struct TConfirmForm::Private {
    QLabel *message = nullptr;
    QList<QPushButton *> buttons; // left to right
    QList<int> tags;
    int tag = ctCancel;
};

TConfirmForm::TConfirmForm(QWidget *parent) : QDialog(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("ConfirmForm"));
    setWindowTitle(QStringLiteral("Avertissement!"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    auto *top = new QHBoxLayout;
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    d->message = new QLabel(this);
    d->message->setObjectName(QStringLiteral("Label1"));
    d->message->setWordWrap(true);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(d->message, 1);
    layout->addLayout(top, 1);

    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    const struct {
        const char *name;
        const char *text;
        int tag;
    } buttons[] = {{"Button1", "&Reprendre", ctResume},      {"Button2", "&Tout reprendre", ctResumeAll},
                   {"Button3", "&Ecraser", ctOverwrite},     {"Button4", "T&out écraser", ctOverwriteAll},
                   {"Button5", "&Annuler", ctCancel}};
    for (const auto &b : buttons) {
        auto *button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(QLatin1String(b.name));
        button->setAutoDefault(false);
        button->setMinimumWidth(0);
        const int tag = b.tag;
        connect(button, &QPushButton::clicked, this, [this, tag] {
            d->tag = tag;
            done(QDialog::Accepted);
        });
        row->addWidget(button);
        d->buttons.append(button);
        d->tags.append(tag);
    }
    layout->addLayout(row);
    d->buttons.first()->setEnabled(false);

    // The dialog's client area of 409 by 97, grown only where the fonts need more room.
    setFixedSize(sizeHint().expandedTo(ClientArea));
}

TConfirmForm::~TConfirmForm() = default;

int TConfirmForm::Tag() const { return d->tag; }
QString TConfirmForm::Message() const { return d->message->text(); }
void TConfirmForm::SetMessage(const QString &text) { d->message->setText(text); }
void TConfirmForm::SetResumeEnabled(bool enabled) { d->buttons.first()->setEnabled(enabled); }

QPushButton *TConfirmForm::Button(int tag) const
{
    const qsizetype index = d->tags.indexOf(tag);
    return index < 0 ? nullptr : d->buttons.at(index);
}

QList<QPushButton *> TConfirmForm::Buttons() const { return d->buttons; }

int TConfirmForm::Ask()
{
    d->tag = ctCancel;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (Runner())
        Runner()(*this);
    else
        exec();
    if (isVisible())
        hide();
    return d->tag;
}

void TConfirmForm::reject()
{
    d->tag = ctCancel;
    QDialog::reject();
}

void SetConfirmFormRunner(TConfirmFormRunner runner)
{
    Runner() = std::move(runner);
}

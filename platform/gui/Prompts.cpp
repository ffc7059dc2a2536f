#include "Prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

TPrompter::~TPrompter() = default;

namespace {
// Qt's own choosers rather than the desktop's: their texts come from Qt's
// French catalogue, as the rest of the program's, whatever the system's
// language.
constexpr QFileDialog::Options ChooserOptions = QFileDialog::DontUseNativeDialog;

class TDialogPrompter : public TPrompter
{
public:
    bool Confirm(QWidget *parent, const QString &caption, const QString &question) override
    {
        return QMessageBox::question(parent, caption, question, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    }

    bool Input(QWidget *parent, const QString &caption, const QString &label, QString &value) override
    {
        bool ok = false;
        const QString answer = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, value, &ok);
        if (ok)
            value = answer;
        return ok;
    }

    void Message(QWidget *parent, const QString &caption, const QString &text, TMessageKind kind) override
    {
        switch (kind) {
        case TMessageKind::Information: QMessageBox::information(parent, caption, text); break;
        case TMessageKind::Warning: QMessageBox::warning(parent, caption, text); break;
        case TMessageKind::Error: QMessageBox::critical(parent, caption, text); break;
        }
    }

    QString SaveFileName(QWidget *parent, const QString &caption, const QString &startPath,
                         const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, startPath, filter, nullptr, ChooserOptions);
    }

    QString OpenFileName(QWidget *parent, const QString &caption, const QString &startPath,
                         const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, startPath, filter, nullptr, ChooserOptions);
    }

    QString ExistingFolder(QWidget *parent, const QString &caption, const QString &startPath) override
    {
        return QFileDialog::getExistingDirectory(parent, caption, startPath,
                                                 QFileDialog::ShowDirsOnly | ChooserOptions);
    }
};

TDialogPrompter dialogPrompter;
TPrompter *current = nullptr;
}

TPrompter &Prompts()
{
    return current ? *current : dialogPrompter;
}

void SetPrompter(TPrompter *prompter)
{
    current = prompter;
}

TScriptedPrompter::TScriptedPrompter() = default;

TScriptedPrompter::~TScriptedPrompter()
{
    if (current == this)
        current = nullptr;
}

void TScriptedPrompter::Install() { SetPrompter(this); }
void TScriptedPrompter::QueueConfirm(bool yes) { confirms.append(yes); }
void TScriptedPrompter::QueueInput(const QString &answer) { inputs.append(answer); }
void TScriptedPrompter::QueuePath(const QString &path) { paths.append(path); }
const QList<TPromptRecord> &TScriptedPrompter::Asked() const { return asked; }

QStringList TScriptedPrompter::Messages() const
{
    QStringList texts;
    for (const TPromptRecord &record : asked)
        if (record.kind == QLatin1String("message"))
            texts.append(record.text);
    return texts;
}

void TScriptedPrompter::Clear()
{
    confirms.clear();
    inputs.clear();
    paths.clear();
    asked.clear();
}

bool TScriptedPrompter::Confirm(QWidget *, const QString &caption, const QString &question)
{
    asked.append({QStringLiteral("confirm"), caption, question, QString()});
    return !confirms.isEmpty() && confirms.takeFirst();
}

bool TScriptedPrompter::Input(QWidget *, const QString &caption, const QString &label, QString &value)
{
    asked.append({QStringLiteral("input"), caption, label, value});
    if (inputs.isEmpty())
        return false;
    const QString answer = inputs.takeFirst();
    if (answer.isNull())
        return false;
    value = answer;
    return true;
}

void TScriptedPrompter::Message(QWidget *, const QString &caption, const QString &text, TMessageKind)
{
    asked.append({QStringLiteral("message"), caption, text, QString()});
}

QString TScriptedPrompter::SaveFileName(QWidget *, const QString &caption, const QString &startPath, const QString &)
{
    asked.append({QStringLiteral("save"), caption, QString(), startPath});
    return paths.isEmpty() ? QString() : paths.takeFirst();
}

QString TScriptedPrompter::OpenFileName(QWidget *, const QString &caption, const QString &startPath, const QString &)
{
    asked.append({QStringLiteral("open"), caption, QString(), startPath});
    return paths.isEmpty() ? QString() : paths.takeFirst();
}

QString TScriptedPrompter::ExistingFolder(QWidget *, const QString &caption, const QString &startPath)
{
    asked.append({QStringLiteral("folder"), caption, QString(), startPath});
    return paths.isEmpty() ? QString() : paths.takeFirst();
}

#pragma once
// The one seam through which every question, input box, message box and
// file or folder chooser of the program passes. The program installs nothing:
// the default prompter shows Qt dialogs. Tests install a TScriptedPrompter
// that answers from a queue and records what was asked, so that no test ever
// waits for a person.

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

enum class TMessageKind { Information, Warning, Error };

struct TPromptRecord {
    QString kind;    // "confirm", "input", "message", "save", "open", "folder"
    QString caption;
    QString text;    // question, label or message
    QString value;   // the starting value of an input box, or the starting path
};

class TPrompter
{
public:
    virtual ~TPrompter();
    // A Yes/No question: true for "Yes".
    virtual bool Confirm(QWidget *parent, const QString &caption, const QString &question) = 0;
    // An input box: value holds the starting text and receives the answer;
    // false when cancelled (value unchanged).
    virtual bool Input(QWidget *parent, const QString &caption, const QString &label, QString &value) = 0;
    virtual void Message(QWidget *parent, const QString &caption, const QString &text,
                         TMessageKind kind = TMessageKind::Information) = 0;
    // File and folder choosers: an empty text when cancelled.
    virtual QString SaveFileName(QWidget *parent, const QString &caption, const QString &startPath,
                                 const QString &filter) = 0;
    virtual QString OpenFileName(QWidget *parent, const QString &caption, const QString &startPath,
                                 const QString &filter) = 0;
    virtual QString ExistingFolder(QWidget *parent, const QString &caption, const QString &startPath) = 0;
};

// The prompter in use (the dialog one unless a test set another).
TPrompter &Prompts();
// Installs prompter (not owned); nullptr goes back to the dialogs.
void SetPrompter(TPrompter *prompter);

// Answers from queues, in order, and records every prompt. An empty queue
// answers "No", cancels inputs and choosers.
class TScriptedPrompter : public TPrompter
{
public:
    TScriptedPrompter();
    ~TScriptedPrompter() override; // uninstalls itself if installed

    void Install();

    void QueueConfirm(bool yes);
    void QueueInput(const QString &answer); // a null QString() cancels
    void QueuePath(const QString &path);    // for save/open/folder; empty cancels

    const QList<TPromptRecord> &Asked() const;
    QStringList Messages() const; // the texts of every message shown
    void Clear();

    bool Confirm(QWidget *parent, const QString &caption, const QString &question) override;
    bool Input(QWidget *parent, const QString &caption, const QString &label, QString &value) override;
    void Message(QWidget *parent, const QString &caption, const QString &text, TMessageKind kind) override;
    QString SaveFileName(QWidget *parent, const QString &caption, const QString &startPath,
                         const QString &filter) override;
    QString OpenFileName(QWidget *parent, const QString &caption, const QString &startPath,
                         const QString &filter) override;
    QString ExistingFolder(QWidget *parent, const QString &caption, const QString &startPath) override;

private:
    QList<bool> confirms;
    QList<QString> inputs;
    QList<QString> paths;
    QList<TPromptRecord> asked;
};

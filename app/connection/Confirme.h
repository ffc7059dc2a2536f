#pragma once
// TConfirmForm ("Avertissement!"): what to do with a local file that exists
// already. Five buttons, left to right, each with its tag: "&Reprendre" (0,
// disabled until the owner enables it), "&Tout reprendre" (3), "&Ecraser"
// (1), "T&out écraser" (4) and "&Annuler" (2). A button stores its tag and
// closes the dialog; closing it by its frame or with Escape answers
// "&Annuler".
//
// The dialog is modal: Ask() shows it through the installed runner and
// returns the tag. The program's runner is exec(); tests install one that
// presses a button or closes the dialog, so that no test waits for a person.

#include <QDialog>
#include <functional>
#include <memory>

class QPushButton;

enum TConfirmTag : int {
    ctResume = 0,
    ctOverwrite = 1,
    ctCancel = 2,
    ctResumeAll = 3,
    ctOverwriteAll = 4,
};

class TConfirmForm : public QDialog
{
    Q_OBJECT
public:
    explicit TConfirmForm(QWidget *parent = nullptr);
    ~TConfirmForm() override;

    // The tag of the last answer (ctCancel before any).
    int Tag() const;
    QString Message() const;
    void SetMessage(const QString &text);
    void SetResumeEnabled(bool enabled);
    // The button that answers tag; nullptr for a tag that has none.
    QPushButton *Button(int tag) const;
    // The buttons as they stand, left to right.
    QList<QPushButton *> Buttons() const;

    // Centres the dialog on the screen, runs it modally and returns the tag.
    int Ask();

    void reject() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// How Ask() runs the dialog; an empty runner goes back to exec().
using TConfirmFormRunner = std::function<void(TConfirmForm &form)>;
void SetConfirmFormRunner(TConfirmFormRunner runner);

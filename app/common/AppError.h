#pragma once
// A failure inside a command, a timer tick or a creation step of the main
// window. It is caught in one place, where the window runs its handlers
// (Commands.h): the text is shown to the user and the rest of that step is
// abandoned; the program keeps running.

#include <QString>
#include <exception>

class TVelmarError : public std::exception
{
public:
    explicit TVelmarError(QString text) : text_(std::move(text)), utf8_(text_.toUtf8()) {}
    const QString &Text() const { return text_; }
    const char *what() const noexcept override { return utf8_.constData(); }

private:
    QString text_;
    QByteArray utf8_;
};

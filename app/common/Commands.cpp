// Catches what a handler of the window raises and shows it.

#include "Commands.h"

#include "AppError.h"
#include "AppTexts.h"
#include "Prompts.h"

#include <exception>

bool RunHandler(QWidget *window, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const TVelmarError &error) {
        Prompts().Message(window, MainText::Caption, error.Text(), TMessageKind::Error);
    } catch (const std::exception &error) {
        Prompts().Message(window, MainText::Caption, QString::fromLocal8Bit(error.what()), TMessageKind::Error);
    }
    return false;
}

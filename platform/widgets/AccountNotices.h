#pragma once

#include <functional>

#include <QString>

// What the account library tells the user when this build cannot do what was asked (a web page,
// an update check, a login). The program installs a handler that shows its own message dialog;
// without one it goes to the debug output.
class AccountNotices
{
public:
    using Handler = std::function<void(const QString& headline, const QString& body)>;

    static void setHandler(Handler handler);
    static void show(const QString& headline, const QString& body);

    // The texts of the notices, so that callers and tests see what the user is told.
    static QString webPageText(const QString& key);
    static QString updateText();
    static QString loginText();
};

#pragma once
// Splits a command-line text into arguments with the Windows rules, so that
// the client receives the same arguments from the text the host builds as it
// would on Windows: blanks and tabs separate arguments outside double quotes;
// 2n backslashes before a quote give n backslashes and the quote toggles
// quoting, 2n + 1 give n backslashes and a literal quote; other backslashes
// are literal; "" inside quotes is a literal quote. The first argument (the
// program) runs to the next quote when it starts with one, else to the
// first blank, with no backslash rules.
#include <string>
#include <string_view>
#include <vector>

std::vector<std::string> SplitCommandLine(std::string_view text);

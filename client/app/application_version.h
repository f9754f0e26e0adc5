#pragma once
// The client's own version, for its log, the log writer and the web page.

// "a.b.c.d", built into the program from the project version; null when the
// program has none.
const char* getApplicationVersion();

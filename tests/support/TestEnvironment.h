#pragma once

#include <QTemporaryDir>

// Puts a test process into a clean, isolated state: offscreen widgets, UTF-8, a private HOME and
// the test locations of QStandardPaths, so no test touches the user's real settings folder.
class TestEnvironment
{
public:
    static void prepare();
    // prepare() in a running application, with the program's choice lists that pages and models show.
    static void prepareWithChoiceLists();
    static QString homePath();
};

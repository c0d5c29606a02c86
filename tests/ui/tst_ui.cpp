// Runs the window's test classes in one executable, against a settings store of its own.
#include "tst_ui.h"

#include "tests/support/test_application.h"

#include <QTest>

int main(int argc, char* argv[])
{
    PloverTest::TestApplication application(argc, argv);
    int failures = 0;
    for (auto* make : {&PloverTest::newWindowTest, &PloverTest::newPrintFlowTest}) {
        const std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
